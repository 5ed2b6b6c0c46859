"""A VHDX differencing disk over a parent VHDX, as a hypervisor makes one when it starts a
snapshot: no block of the child holds data yet, so every read goes through to the parent.
qemu-img writes no VHDX differencing disks, so the test writes this one from the format's
published layout (headers, region table, metadata with a parent locator, a BAT without data blocks)."""
import struct
import uuid
from pathlib import Path

MIB = 1024 * 1024
LOGICAL_SECTOR = 512

BAT_REGION = uuid.UUID("2DC27766-F623-4200-9D64-115E9BFD4A08")
METADATA_REGION = uuid.UUID("8B7CA206-4790-4B9A-B8FE-575F050F886E")
FILE_PARAMETERS = uuid.UUID("CAA16737-FA36-4D43-B3B6-33F0AA44E76B")
VIRTUAL_DISK_SIZE = uuid.UUID("2FA54224-CD1B-4876-B211-5DBED83BF4B8")
VIRTUAL_DISK_ID = uuid.UUID("BECA12AB-B2E6-4523-93EF-C309E000C746")
LOGICAL_SECTOR_SIZE = uuid.UUID("8141BF1D-A96F-4709-BA47-F233A8FAAB5F")
PHYSICAL_SECTOR_SIZE = uuid.UUID("CDA348C7-445D-4471-9CC9-E9885251C556")
PARENT_LOCATOR = uuid.UUID("A8D35F2D-B30B-454D-ABF7-D3D84834AB0C")
VHDX_PARENT_LOCATOR_TYPE = uuid.UUID("B04AEFB7-D19E-4A81-B789-25B8E9445913")


def crc32c(data):
    table = crc32c.table
    if table is None:
        table = crc32c.table = []
        for i in range(256):
            c = i
            for _ in range(8):
                c = (c >> 1) ^ 0x82F63B78 if c & 1 else c >> 1
            table.append(c)
    crc = 0xFFFFFFFF
    for b in data:
        crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8)
    return crc ^ 0xFFFFFFFF


crc32c.table = None


def with_checksum(block):
    block = bytearray(block)
    block[4:8] = struct.pack("<I", crc32c(bytes(block)))
    return bytes(block)


def parent_facts(parent):
    """The parent's data write GUID (from its current header), virtual size and block size."""
    data = Path(parent).read_bytes()
    headers = [data[at:at + 4096] for at in (64 * 1024, 128 * 1024) if data[at:at + 4] == b"head"]
    current = max(headers, key=lambda h: struct.unpack_from("<Q", h, 8)[0])
    data_write_guid = uuid.UUID(bytes_le=current[32:48])
    values = {}
    regions_at = 192 * 1024
    for i in range(struct.unpack_from("<I", data, regions_at + 8)[0]):
        region_id, meta_at = struct.unpack_from("<16sQ", data, regions_at + 16 + 32 * i)
        if uuid.UUID(bytes_le=region_id) != METADATA_REGION:
            continue
        for j in range(struct.unpack_from("<H", data, meta_at + 10)[0]):
            item_id, value_at = struct.unpack_from("<16sI", data, meta_at + 32 + 32 * j)
            values[uuid.UUID(bytes_le=item_id)] = meta_at + value_at
    size = struct.unpack_from("<Q", data, values[VIRTUAL_DISK_SIZE])[0]
    block = struct.unpack_from("<I", data, values[FILE_PARAMETERS])[0]
    return data_write_guid, size, block


def parent_locator(linkage, parent_name):
    # Where a Windows host would have written the pair: the reader looks for the name beside the child.
    pairs = [("parent_linkage", "{%s}" % linkage), ("relative_path", ".\\" + parent_name),
             ("absolute_win32_path", "C:\\Disks\\" + parent_name)]
    header = VHDX_PARENT_LOCATOR_TYPE.bytes_le + struct.pack("<HH", 0, len(pairs))
    strings = b""
    entries = b""
    base = len(header) + 12 * len(pairs)
    for key, value in pairs:
        k, v = key.encode("utf-16-le"), value.encode("utf-16-le")
        entries += struct.pack("<IIHH", base + len(strings), base + len(strings) + len(k), len(k), len(v))
        strings += k + v
    return header + entries + strings


def write_differencing_vhdx(parent, child, parent_name):
    linkage, size, block_size = parent_facts(parent)
    log_at, meta_at, bat_at = 1 * MIB, 2 * MIB, 3 * MIB
    image = bytearray(4 * MIB)
    image[0:8] = b"vhdxfile"
    image[8:8 + 2 * len("quorret test")] = "quorret test".encode("utf-16-le")

    for number, at in ((1, 64 * 1024), (2, 128 * 1024)):
        header = bytearray(4096)
        header[0:4] = b"head"
        struct.pack_into("<Q", header, 8, number)
        header[16:32] = uuid.uuid4().bytes_le  # file write GUID
        header[32:48] = uuid.uuid4().bytes_le  # data write GUID
        struct.pack_into("<HHIQ", header, 64, 0, 1, MIB, log_at)  # no log GUID: nothing to replay
        image[at:at + 4096] = with_checksum(header)

    regions = bytearray(64 * 1024)
    regions[0:4] = b"regi"
    struct.pack_into("<I", regions, 8, 2)
    struct.pack_into("<16sQII", regions, 16, BAT_REGION.bytes_le, bat_at, MIB, 1)
    struct.pack_into("<16sQII", regions, 48, METADATA_REGION.bytes_le, meta_at, MIB, 1)
    regions = with_checksum(regions)
    image[192 * 1024:256 * 1024] = regions
    image[256 * 1024:320 * 1024] = regions

    items = [
        (FILE_PARAMETERS, struct.pack("<II", block_size, 2), 0b100),  # has a parent
        (VIRTUAL_DISK_SIZE, struct.pack("<Q", size), 0b110),
        (VIRTUAL_DISK_ID, uuid.uuid4().bytes_le, 0b110),
        (LOGICAL_SECTOR_SIZE, struct.pack("<I", LOGICAL_SECTOR), 0b110),
        (PHYSICAL_SECTOR_SIZE, struct.pack("<I", 4096), 0b110),
        (PARENT_LOCATOR, parent_locator(linkage, parent_name), 0b100),
    ]
    meta = bytearray(MIB)
    meta[0:8] = b"metadata"
    struct.pack_into("<H", meta, 10, len(items))
    at = 64 * 1024
    for i, (item_id, value, flags) in enumerate(items):
        struct.pack_into("<16sIII", meta, 32 + 32 * i, item_id.bytes_le, at, len(value), flags)
        meta[at:at + len(value)] = value
        at += (len(value) + 7) // 8 * 8
    image[meta_at:meta_at + MIB] = meta
    # Every payload block is "not present" (zero): the parent holds it. Each chunk's sector bitmap
    # block is allocated and all zero, saying the same sector by sector (the library reads it
    # even for absent payload blocks).
    chunk_ratio = (1 << 23) * LOGICAL_SECTOR // block_size
    blocks = (size + block_size - 1) // block_size
    for chunk in range((blocks + chunk_ratio - 1) // chunk_ratio):
        bitmap_at = len(image)
        image += bytes(MIB)
        struct.pack_into("<Q", image, bat_at + 8 * (chunk * (chunk_ratio + 1) + chunk_ratio),
                         (bitmap_at // MIB) << 20 | 6)
    with open(child, "wb") as out:
        out.write(bytes(image))
