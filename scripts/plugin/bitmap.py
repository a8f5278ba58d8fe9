"""Pictures the demo writes (24-bit BMP files) as PNG files, with the standard library only."""
import struct
import zlib


class BitmapError(Exception):
    pass


def read_bmp(path):
    """(width, height, rows) of a 24-bit uncompressed BMP file: rows top to bottom, each in RGB."""
    with open(path, 'rb') as f:
        data = f.read()
    if len(data) < 54 or data[:2] != b'BM':
        raise BitmapError('%s is no BMP file' % path)
    offset = struct.unpack_from('<I', data, 10)[0]
    width, height, _, bits, compression = struct.unpack_from('<iiHHI', data, 18)
    if bits != 24 or compression != 0 or width <= 0 or height == 0:
        raise BitmapError('%s: only uncompressed 24-bit pictures are read (%d bits, compression %d)' % (
            path, bits, compression))
    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for row in range(abs(height)):
        start = offset + row * stride
        bgr = data[start:start + width * 3]
        if len(bgr) < width * 3:
            raise BitmapError('%s ends before its last row' % path)
        rgb = bytearray(len(bgr))
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        rows.append(bytes(rgb))
    if height > 0:  # stored bottom-up
        rows.reverse()
    return width, abs(height), rows


def png_bytes(width, height, rows):
    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
    pixels = zlib.compress(b''.join(b'\0' + row for row in rows), 9)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', pixels) + chunk(b'IEND', b''))


def bmp_to_png(bmp, png):
    """Writes the BMP file bmp as the PNG file png; returns (width, height)."""
    width, height, rows = read_bmp(bmp)
    with open(png, 'wb') as f:
        f.write(png_bytes(width, height, rows))
    return width, height
