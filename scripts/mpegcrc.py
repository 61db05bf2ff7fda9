"""CRC-32/MPEG-2 for the fixture scripts: polynomial 0x04C11DB7, MSB first,
initial value 0xFFFFFFFF, no final XOR (the CRC_32 of PSI and SI sections)."""


def crc32_mpeg2(data):
    crc = 0xFFFFFFFF
    for byte in data:
        crc ^= byte << 24
        for _ in range(8):
            crc = ((crc << 1) ^ 0x04C11DB7 if crc & 0x80000000 else crc << 1) & 0xFFFFFFFF
    return crc
