# Every target of ours builds with the same warning set; a warning is a defect.
add_compile_options(-Wall -Wextra)
if(TW_WERROR)
    add_compile_options(-Werror)
endif()
