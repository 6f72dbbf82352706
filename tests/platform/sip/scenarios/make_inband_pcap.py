#!/usr/bin/env python3
"""Writes inband_5.pcap: the RTP a caller without telephone events sends for one press of
key 5: PCMU (payload type 0, 8 kHz) audio of 200 ms silence, 200 ms of the key's two tones
(770 Hz + 1336 Hz) and 200 ms silence, framed like dtmf_7.pcap for sipp's play_pcap_audio.
Run from this folder: ./make_inband_pcap.py"""
import math
import struct

from make_dtmf_pcap import rtp, write_pcap

def ulaw(sample):
    # G.711 mu-law of one 16-bit sample.
    bias, clip = 0x84, 32635
    sign = 0x80 if sample < 0 else 0
    sample = min(abs(sample), clip) + bias
    exponent = 7
    mask = 0x4000
    while exponent > 0 and not sample & mask:
        exponent -= 1
        mask >>= 1
    mantissa = (sample >> (exponent + 3)) & 0x0F
    return ~(sign | (exponent << 4) | mantissa) & 0xFF

def frame(n, tone):
    out = bytearray()
    for i in range(160):
        t = (n * 160 + i) / 8000.0
        s = 0
        if tone:
            s = int(8000 * (math.sin(2 * math.pi * 770 * t) + math.sin(2 * math.pi * 1336 * t)))
        out.append(ulaw(s))
    return bytes(out)

if __name__ == '__main__':
    packets = []
    for n in range(30):
        tone = 10 <= n < 20
        packets.append((n * 0.02, rtp(200 + n, 320000 + n * 160, n == 0, frame(n, tone), pt=0)))
    write_pcap('inband_5.pcap', packets)
