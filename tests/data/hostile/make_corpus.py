#!/usr/bin/env python3
"""Writes the hostile-input corpus and the valid picture seeds of the fuzzers.

Run from anywhere; it rewrites tests/data/hostile/{bmp,png,jpeg,documents}
and tests/fuzz/seeds/{bmp,png}. The JPEG cases are cut from the seeds in
tests/fuzz/seeds/jpeg. Crashing inputs found by tools/fuzz.sh are added by
hand beside these (named after what they exercise) and are not rewritten.
"""
import os
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
HOSTILE = os.path.join(ROOT, "tests", "data", "hostile")
SEEDS = os.path.join(ROOT, "tests", "fuzz", "seeds")


def put(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


# ---- Bitmaps ----------------------------------------------------------------

def bmp(width, height, bits, pixels, palette_count=None, compression=0, clr_used=None,
        off_bits=None, file_size=None, core=False):
    if palette_count is None:
        palette_count = (1 << bits) if bits <= 8 else 0
    entry = 3 if core else 4
    palette = b"".join(bytes((i * 37 & 255, i * 91 & 255, i * 13 & 255)) + (b"" if core else b"\0")
                       for i in range(palette_count))
    header_size = 12 if core else 40
    if core:
        info = struct.pack("<IHHHH", 12, width & 0xFFFF, height & 0xFFFF, 1, bits)
    else:
        info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, len(pixels),
                           2835, 2835, palette_count if clr_used is None else clr_used, 0)
    offset = 14 + header_size + palette_count * entry if off_bits is None else off_bits
    total = 14 + len(info) + len(palette) + len(pixels)
    head = struct.pack("<2sIHHI", b"BM", total if file_size is None else file_size, 0, 0, offset)
    return head + info + palette + pixels


def rows(width, height, bits, fill=lambda x, y: (x * 3 + y * 5)):
    stride = ((width * bits + 31) // 32) * 4
    out = bytearray()
    for y in range(height):
        row = bytearray(stride)
        for x in range(width):
            v = fill(x, y)
            if bits == 24:
                row[3 * x:3 * x + 3] = bytes((v & 255, (v * 7) & 255, (v * 13) & 255))
            elif bits == 8:
                row[x] = v & 255
            elif bits == 4:
                row[x // 2] |= (v & 15) << (4 if x % 2 == 0 else 0)
            else:
                row[x // 8] |= (v & 1) << (7 - x % 8)
        out += row
    return bytes(out)


def write_bitmaps():
    seeds = os.path.join(SEEDS, "bmp")
    out = os.path.join(HOSTILE, "bmp")
    for bits in (1, 4, 8, 24):
        good = bmp(13, 7, bits, rows(13, 7, bits))
        put(seeds, f"valid_{bits}bit.bmp", good)
        put(out, f"truncated_pixels_{bits}bit.bmp", good[:len(good) - 20])
        put(out, f"truncated_header_{bits}bit.bmp", good[:30])
        # Sizes far beyond the few bytes that follow.
        put(out, f"oversized_60000x60000_{bits}bit.bmp", bmp(60000, 60000, bits, rows(4, 2, bits)))
        put(out, f"oversized_2g_wide_{bits}bit.bmp", bmp(0x7FFFFFFF, 1, bits, rows(4, 1, bits)))
        put(out, f"oversized_65535x65535_{bits}bit.bmp", bmp(65535, 65535, bits, rows(4, 4, bits)))
        put(out, f"negative_width_{bits}bit.bmp", bmp(-13, 7, bits, rows(13, 7, bits)))
        put(out, f"zero_height_{bits}bit.bmp", bmp(13, 0, bits, b""))
        put(out, f"top_down_{bits}bit.bmp", bmp(13, -7, bits, rows(13, 7, bits)))
        put(out, f"offset_past_end_{bits}bit.bmp", bmp(13, 7, bits, rows(13, 7, bits), off_bits=0x7FFFFFF0))
        put(seeds, f"core_header_{bits}bit.bmp", bmp(5, 3, bits, rows(5, 3, bits), core=True))
    for bits in (1, 4, 8):
        # The palette claims more entries than the file holds.
        cut = bmp(13, 7, bits, b"")[:14 + 40 + 6]
        put(out, f"palette_past_end_{bits}bit.bmp", cut)
        put(out, f"palette_count_huge_{bits}bit.bmp",
            bmp(13, 7, bits, rows(13, 7, bits), clr_used=0xFFFFFFFF))
    put(out, "depth_16bit.bmp", bmp(4, 4, 16, bytes(32)))
    put(out, "depth_32bit.bmp", bmp(4, 4, 32, bytes(64)))
    put(out, "depth_0bit.bmp", bmp(4, 4, 0, bytes(16), palette_count=0))
    put(out, "bitfields_24bit.bmp", bmp(4, 4, 24, rows(4, 4, 24), compression=3))
    put(out, "rle8_with_24bit.bmp", bmp(4, 4, 24, rows(4, 4, 24), compression=1))
    put(out, "rle4_with_8bit.bmp", bmp(4, 4, 8, bytes((4, 1, 0, 1)), compression=2))
    put(out, "file_size_lies.bmp", bmp(13, 7, 8, rows(13, 7, 8), file_size=0xFFFFFFFF))
    put(out, "not_a_bitmap.bmp", b"GIF89a" + bytes(100))
    put(out, "empty.bmp", b"")

    # Run-length data: a run of n pixels is (n, colour); 0 0 ends a row,
    # 0 1 ends the picture, 0 2 dx dy moves, 0 n (n >= 3) copies n pixels.
    rle8 = bytes((4, 1, 0, 0, 2, 7, 2, 9, 0, 0, 0, 3, 1, 2, 3, 0, 0, 1))
    put(seeds, "rle8.bmp", bmp(4, 3, 8, rle8, compression=1))
    rle4 = bytes((4, 0x12, 0, 0, 3, 0x45, 0, 0, 0, 3, 0x12, 0x30, 0, 1))
    put(seeds, "rle4.bmp", bmp(4, 3, 4, rle4, compression=2))
    put(out, "rle8_run_past_row.bmp", bmp(4, 3, 8, bytes((255, 5, 255, 6, 0, 1)), compression=1))
    put(out, "rle8_runs_past_image.bmp",
        bmp(4, 3, 8, bytes((4, 1, 0, 0)) * 200 + bytes((0, 1)), compression=1))
    put(out, "rle8_copy_past_row.bmp",
        bmp(4, 3, 8, bytes((0, 255)) + bytes(range(255)) + bytes((0, 0, 1)), compression=1))
    put(out, "rle8_copy_past_file.bmp", bmp(4, 3, 8, bytes((0, 200, 1, 2, 3)), compression=1))
    put(out, "rle8_delta_past_image.bmp",
        bmp(4, 3, 8, bytes((0, 2, 255, 255, 3, 9, 0, 2, 3, 200, 1, 1, 0, 1)), compression=1))
    put(out, "rle8_no_end.bmp", bmp(4, 3, 8, bytes((4, 1, 0, 0, 4, 2)), compression=1))
    put(out, "rle8_huge_claim.bmp", bmp(60000, 60000, 8, bytes((255, 1, 0, 1)), compression=1))
    put(out, "rle4_run_past_row.bmp", bmp(3, 3, 4, bytes((255, 0x12, 255, 0x34, 0, 1)), compression=2))
    put(out, "rle4_copy_past_row.bmp",
        bmp(3, 3, 4, bytes((0, 254)) + bytes(127) + bytes((0, 0, 1)), compression=2))
    put(out, "rle4_delta_past_image.bmp",
        bmp(3, 3, 4, bytes((0, 2, 250, 250, 2, 0x11, 0, 1)), compression=2))
    put(out, "rle4_truncated.bmp", bmp(3, 3, 4, bytes((3, 0x12, 0)), compression=2))


# ---- PNG --------------------------------------------------------------------

def chunk(kind, data, crc=None):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) if crc is None else crc)


def png(width, height, bit_depth, colour_type, raw, extra=b"", interlace=0, idat=None):
    sig = b"\x89PNG\r\n\x1a\n"
    ihdr = struct.pack(">IIBBBBB", width, height, bit_depth, colour_type, 0, 0, interlace)
    data = zlib.compress(raw) if idat is None else idat
    return sig + chunk(b"IHDR", ihdr) + extra + chunk(b"IDAT", data) + chunk(b"IEND", b"")


def png_rows(width, height, bytes_per_pixel):
    return b"".join(b"\0" + bytes((x * 5 + y * 11 + c) & 255 for x in range(width)
                                  for c in range(bytes_per_pixel)) for y in range(height))


def write_pngs():
    seeds = os.path.join(SEEDS, "png")
    out = os.path.join(HOSTILE, "png")
    rgb = png(9, 5, 8, 2, png_rows(9, 5, 3))
    put(seeds, "rgb.png", rgb)
    put(seeds, "rgba.png", png(6, 4, 8, 6, png_rows(6, 4, 4)))
    put(seeds, "grey16.png", png(5, 3, 16, 0, png_rows(5, 3, 2)))
    put(seeds, "grey_alpha.png", png(5, 3, 8, 4, png_rows(5, 3, 2)))
    plte = chunk(b"PLTE", bytes(range(48)))
    put(seeds, "palette.png", png(8, 2, 4, 3, b"".join(b"\0" + bytes((0x01, 0x23, 0x45, 0xEF)) for _ in range(2)),
                                  extra=plte + chunk(b"tRNS", bytes((0, 128, 255)))))
    put(out, "truncated_idat.png", rgb[:len(rgb) - 30])
    put(out, "truncated_signature.png", rgb[:5])
    put(out, "bad_crc.png", rgb[:33] + chunk(b"IDAT", zlib.compress(png_rows(9, 5, 3)), crc=1))
    put(out, "claims_2g_wide.png", png(0x7FFFFFFF, 1, 8, 2, png_rows(1, 1, 3)))
    put(out, "claims_65535x65535.png", png(65535, 65535, 8, 2, png_rows(1, 1, 3)))
    put(out, "claims_16384x16384_rgba.png", png(16384, 16384, 8, 6, png_rows(1, 1, 4)))
    put(out, "zero_width.png", png(0, 5, 8, 2, b""))
    put(out, "palette_index_past_palette.png",
        png(4, 1, 8, 3, b"\0" + bytes((0, 1, 200, 255)), extra=chunk(b"PLTE", bytes(6))))
    put(out, "palette_missing.png", png(4, 1, 8, 3, b"\0" + bytes(4)))
    put(out, "bad_bit_depth.png", png(4, 1, 7, 2, b"\0" + bytes(12)))
    put(out, "garbage_idat.png", png(9, 5, 8, 2, b"", idat=b"\x78\x9c" + bytes(range(256)) * 4))
    put(out, "empty.png", b"")


# ---- JPEG -------------------------------------------------------------------

def write_jpegs():
    out = os.path.join(HOSTILE, "jpeg")
    seeds = os.path.join(SEEDS, "jpeg")
    for name in ("colour", "grey", "progressive"):
        data = open(os.path.join(seeds, name + ".jpg"), "rb").read()
        put(out, f"{name}_cut_in_middle.jpg", data[:len(data) // 2])
        put(out, f"{name}_cut_after_headers.jpg", data[:data.index(b"\xff\xda") + 4])
        put(out, f"{name}_cut_at_start.jpg", data[:3])
        sof = data.find(b"\xff\xc0")
        if sof < 0:
            sof = data.find(b"\xff\xc2")
        huge = bytearray(data)
        huge[sof + 5:sof + 9] = struct.pack(">HH", 65500, 65500)
        put(out, f"{name}_claims_65500x65500.jpg", bytes(huge))
        # A size the limits allow, with the scan cut a few bytes in: the
        # library would pad a quarter of a gigapixel.
        big = bytearray(data)
        big[sof + 5:sof + 9] = struct.pack(">HH", 16000, 16000)
        put(out, f"{name}_claims_16000x16000_cut.jpg", bytes(big[:big.index(b"\xff\xda") + 40]))
        zero = bytearray(data)
        zero[sof + 5:sof + 9] = struct.pack(">HH", 0, 7)
        put(out, f"{name}_zero_height.jpg", bytes(zero))
        scrambled = bytearray(data)
        start = data.index(b"\xff\xda") + 20
        for i in range(start, len(scrambled) - 2, 3):
            scrambled[i] ^= 0x5A
        put(out, f"{name}_scrambled_scan.jpg", bytes(scrambled))
    put(out, "cmyk_four_components.jpg", open(os.path.join(seeds, "cmyk.jpg"), "rb").read())
    put(out, "not_a_jpeg.jpg", b"\xff\xd8\xff" + bytes(64))
    put(out, "empty.jpg", b"")


# ---- Documents ----------------------------------------------------------------

def write_documents():
    out = os.path.join(HOSTILE, "documents")
    # Opened and never closed: the reader must stop long before the end.
    put(out, "nested_100000_deep.qln", "VERSION 2\nTEXTURE\"\"{" + "LAYERS{TEXTURE\"\"{" * 100000)
    put(out, "nested_masks_1000_deep.qln",
        "VERSION 2\nTEXTURE \"m\" {\n" + "LAYERS { MASKLAYER \"m\" {\n" * 1000 + "} }\n" * 1000 + "}\n")
    put(out, "open_braces_only.qln", "VERSION 2\nTEXTURE \"x\" {\n" + "{" * 100000)
    put(out, "token_64k.qln", "VERSION 2\nTEXTURE " + "A" * (1 << 16) + " {\n}\n")
    put(out, "string_64k.qln", "VERSION 2\nTEXTURE \"" + "s" * (1 << 16) + "\" {\n}\n")
    put(out, "number_64k.qln", "VERSION 2\nTEXTURE \"n\" {\n\tWIDTH " + "9" * (1 << 16) + "\n}\n")
    put(out, "unterminated_string.qln", "VERSION 2\nTEXTURE \"never closed {\n\tWIDTH 4\n")
    put(out, "version_nan.qln", "VERSION nan\nTEXTURE \"x\" {\n}\n")
    put(out, "version_huge.qln", "VERSION 1e999\nTEXTURE \"x\" {\n}\n")
    put(out, "size_2g.qln", "VERSION 2\nTEXTURE \"x\" {\n\tWIDTH 2147483647\n\tHEIGHT 2147483647\n}\n")
    put(out, "size_negative.qln", "VERSION 2\nTEXTURE \"x\" {\n\tWIDTH -5\n\tHEIGHT 4\n}\n")
    put(out, "size_100000_wide.qln", "VERSION 2\nTEXTURE \"x\" {\n\tWIDTH 100000\n\tHEIGHT 2\n}\n")
    put(out, "nul_bytes.qln", b"VERSION 2\nTEXTURE \"x\0y\" {\n\0\0\0}\n")
    picture = "\tBITMAPLAYER \"p\" {\n\t\tBITMAP_WIDTH {w}\tBITMAP_HEIGHT {h}\n\t\tBITMAP_DATA {{{d}}}\n\t}}\n"
    for name, w, h, d in (("bitmap_2g_claim", 65535, 32768, "\x01\x02\x03"),
                          ("bitmap_int_max_claim", 2147483647, 2147483647, "abc"),
                          ("bitmap_negative", -4, 4, "abc"),
                          ("bitmap_zero", 0, 0, ""),
                          ("bitmap_data_short", 4, 4, "abcdef"),
                          ("bitmap_data_unclosed", 2, 2, "abcdefghijkl")):
        body = picture.replace("{w}", str(w)).replace("{h}", str(h)).replace("{d}", d)
        if name == "bitmap_data_unclosed":
            body = body[:body.rindex("}}")]
        put(out, name + ".qln", "VERSION 2\nTEXTURE \"x\" {\n\tWIDTH 8\n\tHEIGHT 8\n\tLAYERS {\n" + body + "\t}\n}\n")


# Settings at their extremes; the documents must render to finite colours.
R = '(0, 1, 1, 1e9)'
EXTREMES = {
 'turbiter64': [('TURBITER 4', 'TURBITER 64'), ('COORDTURBITER 3', 'COORDTURBITER 64')],
 'edgeradius_huge': [('EDGERADIUS 3', 'EDGERADIUS 2147483647')],
 'rd_16384_steps_of_0.1': [('ITERATIONS 1000', 'ITERATIONS 16384'), ('TIMESTEP 0.01', 'TIMESTEP 0.1')],
 'zoom_small': [('ZOOM 1\n', 'ZOOM 1e-06\n')],
 'zoom_large': [('ZOOM 1\n', 'ZOOM 1000000\n')],
 'indices': [('COLORMAP SIZE 1\n', 'COLORMAP SIZE 3\n'), ('(0, 255, 255, 255, 1)', '(-2147483647, 255, 0, 0, 1)\n(2147483647, 0, 0, 255, 1)\n(300, 0, 255, 0, 1)')],
 'random_1e9': [('USAGE 1\n', 'USAGE %s\n' % R), ('TURBMAG 1\n', 'TURBMAG %s\n' % R), ('BUMPSCALE 1\n', 'BUMPSCALE %s\n' % R),
                ('TRANSLATE (0, 0, 0)', 'TRANSLATE (%s, %s, %s)' % (R, R, R)), ('SCALE (1, 1, 1)', 'SCALE (%s, 1e30, -1e30)' % R),
                ('GROWTH (0.2, 0.9)', 'GROWTH %s' % R), ('OFFSET 0.5', 'OFFSET %s' % R), ('THRESHOLD 0.1', 'THRESHOLD %s' % R),
                ('TURBVAR (2, 3)', 'TURBVAR %s' % R), ('USEPROBABILITY 1\n', 'USEPROBABILITY %s\n' % R)],
 'nan_params': [('TRANSLATE (0, 0, 0)', 'TRANSLATE (3e38, -3e38, 1e39)'), ('SCALE (1, 1, 1)', 'SCALE (0, 1e-45, 3e38)'),
                ('TIMESTEP 0.01', 'TIMESTEP 1e38'), ('DISSA 0', 'DISSA 3e38'), ('THETAB 0', 'THETAB -3e38'),
                ('TURBMAG 1\n', 'TURBMAG 3e38\n'), ('TURBVAR (2, 3)', 'TURBVAR (1e38, -1e38)'), ('BUMPSCALE 1\n', 'BUMPSCALE 3e38\n'),
                ('XPOS 10', 'XPOS 1e39'), ('COLOR 0.5 0.2 0.9', 'COLOR 3e38 -3e38 1e39'), ('ZOOM 1\n', 'ZOOM 0\n'),
                ('(0, 255, 255, 255, 1)', '(0, 255, 255, 255, 1e39)'), ('COORDTURBMAG 0.5', 'COORDTURBMAG 1e39'),
                ('OFFSET 0.5', 'OFFSET 1e39'), ('GROWTH (0.2, 0.9)', 'GROWTH (-1e39, 1e39)'), ('DIFFB1 16', 'DIFFB1 3e38')],
 'zero_params': [('SCALE (1, 1, 1)', 'SCALE (0, 0, 0)'), ('TIMESTEP 0.01', 'TIMESTEP 0'), ('TURBVAR (2, 3)', 'TURBVAR 0'),
                 ('BRICKSWIDE 4', 'BRICKSWIDE 0'), ('BRICKSHIGH 3', 'BRICKSHIGH 0'), ('NUMBERROCKS 12', 'NUMBERROCKS 0'),
                 ('ITERATIONS 1000', 'ITERATIONS 0'), ('EDGERADIUS 3', 'EDGERADIUS 0'), ('ZOOM 1\n', 'ZOOM 0\n')],
 'bricks_many': [('BRICKSWIDE 4', 'BRICKSWIDE 2147483647'), ('BRICKSHIGH 3', 'BRICKSHIGH 2147483647'), ('NUMBERROCKS 12', 'NUMBERROCKS 2147483647')],
 'negative': [('BRICKSWIDE 4', 'BRICKSWIDE -5'), ('NUMBERROCKS 12', 'NUMBERROCKS -5'), ('EDGERADIUS 3', 'EDGERADIUS -2147483647'),
              ('ITERATIONS 1000', 'ITERATIONS -1'), ('TURBITER 4', 'TURBITER -3'), ('USAGE 1\n', 'USAGE -1e9\n')],
}

def write_extremes():
    """every_kind.qln (one layer of every kind, written by hand) with extreme
    settings; the stress tests render each at degenerate sizes."""
    out = os.path.join(HOSTILE, "documents")
    base = open(os.path.join(out, "every_kind.qln")).read()
    for name, subs in EXTREMES.items():
        text = base
        for old, new in subs:
            if old not in text:
                raise SystemExit("every_kind.qln has no %r any more (for %s)" % (old, name))
            text = text.replace(old, new)
        put(out, "every_kind_%s.qln" % name, text)


if __name__ == "__main__":
    write_bitmaps()
    write_pngs()
    write_jpegs()
    write_documents()
    write_extremes()
