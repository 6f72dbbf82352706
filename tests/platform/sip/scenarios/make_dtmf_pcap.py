#!/usr/bin/env python3
"""Writes dtmf_7.pcap, dtmf_1.pcap and dtmf_2.pcap: the RTP a far end sends for one press of
the key as RFC 4733 events (payload type 101, 8 kHz), framed as Ethernet/IPv4/UDP so that
sipp's play_pcap_audio can replay it into a call. Run from this folder: ./make_dtmf_pcap.py"""
import struct

def udp_frame(payload, sport=6000, dport=6002):
    udp = struct.pack('!HHHH', sport, dport, 8 + len(payload), 0) + payload
    ip = struct.pack('!BBHHHBBH4s4s', 0x45, 0, 20 + len(udp), 0, 0, 64, 17, 0,
                     bytes([127, 0, 0, 1]), bytes([127, 0, 0, 1]))
    eth = b'\x00' * 12 + b'\x08\x00'
    return eth + ip + udp

def rtp(seq, ts, marker, payload, pt=101, ssrc=0x4F525658):
    return struct.pack('!BBHII', 0x80, (0x80 if marker else 0) | pt, seq, ts, ssrc) + payload

def event(key, end, duration):
    return struct.pack('!BBH', key, (0x80 if end else 0) | 10, duration)

def write_pcap(path, packets):
    with open(path, 'wb') as f:
        f.write(struct.pack('<IHHiIII', 0xA1B2C3D4, 2, 4, 0, 0, 65535, 1))
        for t, data in packets:
            frame = udp_frame(data)
            sec = int(t)
            usec = int(round((t - sec) * 1e6))
            f.write(struct.pack('<IIII', 1000 + sec, usec, len(frame), len(frame)))
            f.write(frame)

def key_press(key):
    packets = []
    ts = 160000
    # 100 ms of the key in five 20 ms packets, then the end packet three times.
    for i in range(5):
        packets.append((i * 0.02, rtp(100 + i, ts, i == 0, event(key, False, (i + 1) * 160))))
    for i in range(3):
        packets.append((0.1 + i * 0.02, rtp(105 + i, ts, False, event(key, True, 800))))
    return packets

if __name__ == '__main__':
    for key in (7, 1, 2):
        write_pcap('dtmf_%d.pcap' % key, key_press(key))
