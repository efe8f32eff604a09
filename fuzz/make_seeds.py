#!/usr/bin/env python3
"""Builds the seed corpora of the fuzz targets from the repository's own documents and replies.

    python3 fuzz/make_seeds.py OUT_DIR

OUT_DIR/inputdocuments: the sample calls (header, goods, pay and Udp2 in GBK, joined by NUL bytes,
as the host hands them over) and header variants from the test data.
OUT_DIR/replies: every reply body of the simulator's scenario files and of the gateway test data,
plus a few envelopes at the edges of the reply rules.
OUT_DIR/signing: raw bytes of the same texts; the signing target reads them as parameters.
"""
import hashlib
import json
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent


def gbk(text):
    try:
        return text.encode("gbk")
    except UnicodeEncodeError:
        return text.encode("gb18030")


def write(folder, content):
    folder.mkdir(parents=True, exist_ok=True)
    name = hashlib.sha1(content).hexdigest()
    (folder / name).write_bytes(content)


def call(header, goods, pay, udp2):
    return b"\0".join(gbk(part) for part in (header, goods, pay, udp2))


def read(path):
    return path.read_text(encoding="utf-8")


def input_seeds(out):
    folder = out / "inputdocuments"
    calls = []
    for kind in ("sale", "void", "cancel"):
        base = ROOT / "samples" / kind
        pay = base / ("pay.xml" if (base / "pay.xml").exists() else "pay.json")
        parts = [read(base / "header.xml"), read(base / "goods.xml"), read(pay), read(base / "udp2.json")]
        calls.append(parts)
        write(folder, call(*parts))
    sale = calls[0]
    # Other headers with the sale's documents: lower-case types, nested fields, member id only.
    for header in sorted(ROOT.glob("tests/data/**/header*.xml")):
        write(folder, call(read(header), sale[1], sale[2], sale[3]))
    for goods in sorted(ROOT.glob("tests/data/**/goods*.xml")):
        write(folder, call(sale[0], read(goods), sale[2], sale[3]))
    # Shapes the rules single out: a comment among goods lines, UdpIn1 as an object, empty JSON.
    write(folder, call(sale[0], "<G><XD>1</XD><Plu><R><PI>A</PI></R><!-- c --><R><PI>A</PI></R></Plu></G>",
                       '{"UdpIn1":{"pays":[]}}', "{}"))
    write(folder, call(sale[0], "<G><Plu/></G>", "{}", '{"dscs":[{"probillno":3333,"protype":"94"}]}'))
    write(folder, call(sale[0].replace("<PayCode>0101</PayCode>", "<PayCode>0308</PayCode>"),
                       sale[1], sale[2], sale[3]))
    write(folder, call(sale[0], sale[1], "[]", "[1]"))
    write(folder, call(sale[0], sale[1], '{"UdpIn1":"[]"}', ""))


def scenario_replies(document):
    """Reply bodies of a simulator scenario file; nothing when the document is no scenario."""
    if not isinstance(document, dict):
        return []
    bodies = []
    for path, replies in document.items():
        if not path.startswith("/"):
            continue
        for reply in replies if isinstance(replies, list) else [replies]:
            if "bodyJson" in reply:
                bodies.append(json.dumps(reply["bodyJson"], ensure_ascii=False, separators=(",", ":")))
            elif reply.get("body"):
                bodies.append(reply["body"])
    return bodies


EDGE_REPLIES = [
    "", "{}", "[]", "null", "1", '"text"', '{"msg":"x"}', '{"code":1}', '{"code":"1","msg":"券已使用"}',
    '{"code":"0"}', '{"code":""}', '{"code":200,"meta":{}}', '{"code":"0","meta":{"data":{}}}',
    '{"code":"0","meta":[]}', '{"code":"0","meta":{"data":[]}}',
    '{"code":"0","meta":{"data":{"cardNo":13800138000}}}',
    '{"code":"0","meta":{"data":{"cardNo":1.5e300}}}',
    '{"code":"0","meta":{"data":{"certiList":[{"availableFlag":"0","certiInfoCode":"Q1"},7,null],'
    '"payList":[{"payTotal":5}],"goodsList":[{"apportionAmount":"0.004"},{"apportionAmount":"-0.5"},'
    '{"apportionAmount":"nan"},{"apportionAmount":1e400}]}}}',
    '{"code":"0","meta":{"data":[{"certiInfoCode":"C1","consumeAmount":10.5},{"certiInfoCode":"C2"}]}}',
    '{"code":"0","meta":{"data":{"certiInfoCode":"C1"}}}',
    '{"code":"0","meta":{"data":[[],{"certiInfoCode":null,"consumeAmount":-0}]}}',
]


def reply_seeds(out):
    folder = out / "replies"
    bodies = list(EDGE_REPLIES)
    for path in sorted(ROOT.glob("samples/**/*.json")) + sorted(ROOT.glob("tests/data/**/*.json")):
        text = read(path)
        try:
            document = json.loads(text)
        except ValueError:
            continue
        if "/gateway/" in path.as_posix() or (isinstance(document, dict) and "code" in document):
            bodies.append(text)
        bodies.extend(scenario_replies(document))
    for body in bodies:
        write(folder, body.encode("utf-8"))


def signing_seeds(out):
    folder = out / "signing"
    for path in sorted(ROOT.glob("samples/*/*")):
        write(folder, path.read_bytes()[:512])
    write(folder, b"\x01" * 64)
    write(folder, "orgCode=A01&vipCode=&code=[\"Q1;Q2\"]&汉字;%26=".encode("utf-8") * 4)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = pathlib.Path(sys.argv[1])
    input_seeds(out)
    reply_seeds(out)
    signing_seeds(out)
    for target in ("inputdocuments", "replies", "signing"):
        print(f"seeds: {target}: {len(list((out / target).iterdir()))}")


if __name__ == "__main__":
    main()
