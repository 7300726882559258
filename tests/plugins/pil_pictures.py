"""Pictures made and read by another program, PIL, for the picture plug-in tests.

  encode MODE WIDTH HEIGHT RAW OUT FORMAT [KEY=VALUE ...]
      Saves the raw bytes of RAW, read as a MODE picture (PIL's raw layout), as FORMAT.
      Options: quality=N, progressive=1, subsampling=N, dpi=N, palette=FILE (RGB triples for
      mode P), transparency=FILE (one alpha byte per palette entry).
  decode IN OUT MODE
      Opens IN, writes its pixels converted to MODE to OUT and prints
      "<format> <mode as stored> <width> <height> <dpi or 0>".
  adam7 WIDTH HEIGHT RAW OUT
      Writes RAW (RGBA bytes) as an interlaced PNG, built with zlib: PIL writes none.
"""

import struct
import sys
import zlib

from PIL import Image


def encode(mode, width, height, raw_path, out_path, fmt, options):
    with open(raw_path, "rb") as f:
        raw = f.read()
    image = Image.frombytes(mode, (int(width), int(height)), raw)
    params = {}
    for option in options:
        key, value = option.split("=", 1)
        if key == "palette":
            with open(value, "rb") as f:
                image.putpalette(f.read())
        elif key == "transparency":
            with open(value, "rb") as f:
                params["transparency"] = f.read()
        elif key == "dpi":
            params["dpi"] = (int(value), int(value))
        elif key == "progressive":
            params["progressive"] = value == "1"
        else:
            params[key] = int(value)
    image.save(out_path, fmt, **params)


def decode(in_path, out_path, mode):
    image = Image.open(in_path)
    stored = image.mode
    dpi = image.info.get("dpi", (0, 0))[0]
    with open(out_path, "wb") as f:
        f.write(image.convert(mode).tobytes())
    print(image.format, stored, image.width, image.height, int(round(dpi)))


def chunk(tag, body):
    return struct.pack(">I", len(body)) + tag + body + struct.pack(">I", zlib.crc32(tag + body) & 0xFFFFFFFF)


def adam7(width, height, raw_path, out_path):
    width, height = int(width), int(height)
    with open(raw_path, "rb") as f:
        raw = f.read()
    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
    data = bytearray()
    for x0, y0, dx, dy in passes:
        columns = range(x0, width, dx)
        if not columns:
            continue
        for y in range(y0, height, dy):
            data.append(0)
            for x in columns:
                data += raw[(y * width + x) * 4:(y * width + x) * 4 + 4]
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 1))
    png += chunk(b"IDAT", zlib.compress(bytes(data)))
    png += chunk(b"IEND", b"")
    with open(out_path, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    command = sys.argv[1]
    if command == "encode":
        encode(*sys.argv[2:8], sys.argv[8:])
    elif command == "decode":
        decode(*sys.argv[2:5])
    elif command == "adam7":
        adam7(*sys.argv[2:6])
    else:
        sys.exit("unknown command " + command)
