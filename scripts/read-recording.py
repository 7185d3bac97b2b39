#!/usr/bin/python3
"""Reads an AVI recording with readers nobody here wrote and compares their frames with the
frame chunks in the file, taken in file order (the order they were recorded in).

    read-recording.py [--readers ffmpeg,gstreamer,...] FILE...

Readers: ffmpeg, ffmpeg-ignidx (FFmpeg ignoring the index, reading the file in order),
gstreamer (avidemux), opencv, mediainfo; all by default. One line per file and reader: the
file's number (0 first), the reader, the frames it read, and how many of them are the file's
frames in order from the first (equal counts: every frame read is right and in place).
mediainfo reads no pixels: its line gives the frame count and the duration in seconds it
reports. The reader "file" counts the whole frame chunks in the file."""
import hashlib
import struct
import subprocess
import sys

import numpy as np

TIMEOUT = 600


def layout(path):
    """Width, height, and the digests of the frame chunks in file order (rows made top-down,
    padding dropped), walking chunks from the first "movi" list to the end of the file or the
    first chunk cut short."""
    with open(path, 'rb') as f:
        data_at = 0
        head = f.read(1 << 20)
        strf = head.find(b'strf')
        width, height = struct.unpack_from('<ii', head, strf + 12)
        data_at = head.find(b'movi') + 4
        stride = (3 * width + 3) & ~3
        digests = []
        f.seek(data_at)
        while True:
            tag = f.read(8)
            if len(tag) < 8:
                break
            name, size = tag[:4], struct.unpack('<I', tag[4:])[0]
            if name in (b'RIFF', b'LIST'):
                f.read(4)
            elif name == b'00db':
                chunk = f.read(size)
                if len(chunk) < size or size != stride * height:
                    break
                digests.append(digest(top_down(chunk, width, height, stride)))
            elif name in (b'ix00', b'idx1', b'JUNK'):
                f.seek(size, 1)
            else:
                break
    return width, height, digests


def top_down(chunk, width, height, stride, bottom_up=True):
    rows = np.frombuffer(chunk, np.uint8).reshape(height, stride)
    return (rows[::-1] if bottom_up else rows)[:, :3 * width].tobytes()


def digest(frame):
    return hashlib.blake2b(frame, digest_size=16).digest()


def piped_frames(command, size):
    """Digests of the frames of `size` bytes a command writes to its standard output."""
    proc = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    out = []
    while True:
        frame = proc.stdout.read(size)
        if len(frame) < size:
            break
        out.append(digest(frame))
    proc.stdout.close()
    proc.wait(timeout=TIMEOUT)
    return out


def read_ffmpeg(path, width, height, ignore_index):
    flags = ['-fflags', '+ignidx'] if ignore_index else []
    return piped_frames(['timeout', str(TIMEOUT), 'ffmpeg', '-nostdin', '-v', 'error'] + flags +
                        ['-i', path, '-f', 'rawvideo', '-pix_fmt', 'bgr24', '-vsync', 'passthrough', '-'],
                        3 * width * height)


def read_gstreamer(path, width, height):
    stride = (3 * width + 3) & ~3
    chunks = []
    proc = subprocess.Popen(['timeout', str(TIMEOUT), 'gst-launch-1.0', '-q', 'filesrc', 'location=' + path,
                             '!', 'avidemux', '!', 'fdsink', 'fd=1'],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    while True:
        chunk = proc.stdout.read(stride * height)
        if len(chunk) < stride * height:
            break
        # avidemux turns bottom-up rows the right way up; rows keep their padding.
        chunks.append(digest(top_down(chunk, width, height, stride, bottom_up=False)))
    proc.stdout.close()
    proc.wait(timeout=TIMEOUT)
    return chunks


def read_opencv(path):
    import cv2
    capture = cv2.VideoCapture(path)
    out = []
    while True:
        ok, frame = capture.read()
        if not ok:
            break
        out.append(digest(np.ascontiguousarray(frame).tobytes()))
    return out


def mediainfo(path):
    text = subprocess.run(['timeout', str(TIMEOUT), 'mediainfo', '--Inform=Video;%FrameCount% %Duration%', path],
                          capture_output=True, text=True).stdout.split()
    frames = int(text[0]) if text and text[0].isdigit() else 0
    duration = float(text[1]) / 1000 if len(text) > 1 else 0.0
    return frames, duration


def in_order(frames, reference):
    n = 0
    while n < len(frames) and n < len(reference) and frames[n] == reference[n]:
        n += 1
    return n


def main():
    args = sys.argv[1:]
    readers = ['ffmpeg', 'ffmpeg-ignidx', 'gstreamer', 'opencv', 'mediainfo']
    if args[:1] == ['--readers']:
        readers, args = args[1].split(','), args[2:]
    for number, path in enumerate(args):
        read_file(number, path, readers)


def read_file(number, path, readers):
    width, height, reference = layout(path)
    print(number, 'file', len(reference), len(reference), flush=True)
    for reader in readers:
        if reader == 'mediainfo':
            frames, duration = mediainfo(path)
            print(number, 'mediainfo', frames, '%.3f' % duration, flush=True)
            continue
        if reader == 'ffmpeg':
            frames = read_ffmpeg(path, width, height, False)
        elif reader == 'ffmpeg-ignidx':
            frames = read_ffmpeg(path, width, height, True)
        elif reader == 'gstreamer':
            frames = read_gstreamer(path, width, height)
        elif reader == 'opencv':
            frames = read_opencv(path)
        else:
            sys.exit('unknown reader ' + reader)
        print(number, reader, len(frames), in_order(frames, reference), flush=True)


if __name__ == '__main__':
    main()
