#!/usr/bin/env python3
"""Writes tone_350_440.pcap: the RTP of a far end that sends 200 ms of silence, one second of
350 Hz and 440 Hz together (a dial tone), then 400 ms of silence, as PCMU (payload type 0,
8 kHz) framed like dtmf_7.pcap for sipp's play_pcap_audio. Run from this folder:
./make_tone_pcap.py"""
import math

from make_dtmf_pcap import rtp, write_pcap
from make_inband_pcap import ulaw

def frame(n, tone):
    out = bytearray()
    for i in range(160):
        t = (n * 160 + i) / 8000.0
        s = 0
        if tone:
            s = int(6000 * (math.sin(2 * math.pi * 350 * t) + math.sin(2 * math.pi * 440 * t)))
        out.append(ulaw(s))
    return bytes(out)

packets = []
for n in range(80):
    tone = 10 <= n < 60
    packets.append((n * 0.02, rtp(300 + n, 480000 + n * 160, n == 0, frame(n, tone), pt=0)))
write_pcap('tone_350_440.pcap', packets)
