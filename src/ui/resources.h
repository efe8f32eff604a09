#pragma once

// The images are compiled into the static core; a static library's resources are only
// linked in when something references them, so every dialog calls this before loading one.
void ensureImageResources();
