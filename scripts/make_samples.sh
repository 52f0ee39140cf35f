#!/usr/bin/env bash
# Generates the sample voice libraries under samples/ and the audio test clips under
# tests/data/audio/. Needs espeak-ng and gstreamer1.0-tools (with the good, ugly and libav
# plug-ins). The generated files are committed; run this only to remake them.
set -euo pipefail
cd "$(dirname "$0")/.."

gst() { gst-launch-1.0 -q "$@" > /dev/null; }

# speak TEXT OUT.ext: Japanese speech, encoded by the file's extension.
speak() {
  local text=$1 out=$2 tmp
  tmp=$(mktemp --suffix=.wav)
  espeak-ng -v ja -s 150 -w "$tmp" "$text"
  mkdir -p "$(dirname "$out")"
  case "$out" in
    *.wav) cp "$tmp" "$out" ;;
    *.mp3) lame --quiet -b 64 --cbr --tt "$text" "$tmp" "$out" ;;
    *.m4a) gst filesrc location="$tmp" ! wavparse ! audioconvert ! audioresample ! voaacenc bitrate=64000 ! mp4mux ! filesink location="$out" ;;
  esac
  rm -f "$tmp"
}

# tone FREQ SECONDS RATE CHANNELS FORMAT OUT: a sine tone of an exact length.
tone() {
  local freq=$1 seconds=$2 rate=$3 channels=$4 format=$5 out=$6
  local per=$((rate / 100)) buffers
  buffers=$(python3 -c "print(round($seconds * 100))")
  mkdir -p "$(dirname "$out")"
  local source="audiotestsrc freq=$freq volume=0.3 samplesperbuffer=$per num-buffers=$buffers"
  local raw="audio/x-raw,rate=$rate,channels=$channels"
  case "$out" in
    *.wav) gst $source ! "$raw" ! audioconvert ! "audio/x-raw,format=$format" ! wavenc ! filesink location="$out" ;;
    *.mp3)
      local wav
      wav=$(mktemp --suffix=.wav)
      gst $source ! "$raw" ! audioconvert ! audio/x-raw,format=S16LE ! wavenc ! filesink location="$wav"
      if [ "$format" = vbr ]; then
        lame --quiet -V 4 "$wav" "$out"
      else
        lame --quiet -b 128 --cbr "$wav" "$out"
      fi
      rm -f "$wav" ;;
    *.m4a) gst $source ! "$raw" ! audioconvert ! voaacenc bitrate=96000 ! mp4mux ! filesink location="$out" ;;
  esac
}

# A library with a table, a character file and a thumbnail.
rm -rf samples/hikari samples/tones
speak "おはよう。今日もいい天気だね。" samples/hikari/voice/greet_01.wav
speak "こんにちは。" samples/hikari/voice/greet_02.mp3
speak "やったー。できたよ。" samples/hikari/voice/joy_01.m4a
speak "すごい、すごーい。" samples/hikari/voice/joy_02.wav
speak "ざんねん。" samples/hikari/voice/sad_01.wav
printf '\xEF\xBB\xBF' > samples/hikari/hikari.csv
cat >> samples/hikari/hikari.csv <<'CSV'
voice/greet_01.wav,おはよう,"おはよう、今日もいい天気だね。",おはよう、きょうもいいてんきだね,あいさつ
voice/greet_02.mp3,こんにちは,こんにちは。,こんにちは,あいさつ
voice/joy_01.m4a,やったー,"やったー。\nできたよ。",やったー できたよ,よろこび
voice/joy_02.wav,すごい,"すごい、すごーい。",すごい すごーい,よろこび

voice/sad_01.wav,ざんねん,ざんねん。,ざんねん,かなしみ
CSV
printf 'name\tヒカリ\nversion\t1\n' > samples/hikari/character.ini
python3 - <<'PY'
import struct, zlib
def png(path, w, h, color):
    raw = b"".join(b"\x00" + bytes(color) * w for _ in range(h))
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    open(path, "wb").write(data)
png("samples/hikari/thumbnail.png", 64, 64, (240, 180, 60))
PY

# A folder library without a table: loose files and one category per subfolder.
tone 440 0.4 22050 1 S16LE samples/tones/beep.wav
tone 660 0.5 44100 1 x samples/tones/Happy/chime.mp3
tone 880 0.5 44100 1 x samples/tones/Happy/bell.m4a
tone 220 0.6 22050 1 S16LE samples/tones/Calm/hum.wav
tone 330 0.3 22050 1 S16LE samples/tones/Calm/ignored.WAV
printf 'not a clip\n' > samples/tones/notes.txt

# Audio test clips of known length.
a=tests/data/audio
rm -rf "$a"
tone 440 1.0 22050 1 U8 "$a/pcm8-mono-22050.wav"
tone 440 0.5 48000 2 S16LE "$a/pcm16-stereo-48000.wav"
tone 440 0.75 48000 1 S24LE "$a/pcm24-mono-48000.wav"
tone 440 0.6 22050 2 F32LE "$a/float32-stereo-22050.wav"
tone 440 1.0 44100 2 cbr "$a/cbr-stereo-44100.mp3"
tone 440 1.0 44100 1 vbr "$a/vbr-mono-44100.mp3"
tone 440 1.0 44100 2 x "$a/aac-stereo-44100.m4a"
cp "$a/pcm16-stereo-48000.wav" "$a/wav-content.mp3"
head -c "$(($(stat -c %s "$a/aac-stereo-44100.m4a") / 2))" "$a/aac-stereo-44100.m4a" > "$a/truncated.m4a"
head -c 40 "$a/pcm16-stereo-48000.wav" > "$a/truncated-header.wav"
python3 -c "import random; random.seed(5); open('$a/random.wav','wb').write(bytes(random.randrange(256) for _ in range(4096)))"
# A bogus frame header and junk before the VBR clip: the pipeline knows its length only once
# it plays.
{ printf '\xff\xfb'; head -c 700 /dev/zero; tail -c +"$(python3 -c "
d=open('$a/vbr-mono-44100.mp3','rb').read()
print(11 + (((d[6]&127)<<21)|((d[7]&127)<<14)|((d[8]&127)<<7)|(d[9]&127)) if d[:3]==b'ID3' else 1)")" "$a/vbr-mono-44100.mp3"; } > "$a/junk-before-vbr.mp3"
# An AIFF header claiming 2^31 sample frames and no sound after it.
python3 -c "
import struct
comm = b'COMM' + struct.pack('>IhIh', 18, 1, 2147483647, 16) + bytes.fromhex('400eac44000000000000')
body = b'AIFF' + comm + b'SSND' + struct.pack('>III', 8, 0, 0)
open('$a/header-only.aiff', 'wb').write(b'FORM' + struct.pack('>I', len(body)) + body)"
# Audio with a subtitle stream: a stream that is neither audio nor video.
srt=$(mktemp --suffix=.srt)
printf '1\n00:00:00,000 --> 00:00:00,500\nhello\n\n' > "$srt"
gst audiotestsrc num-buffers=40 samplesperbuffer=441 ! audio/x-raw,rate=44100,channels=1 ! audioconvert ! vorbisenc ! matroskamux name=m ! filesink location="$a/with-subtitles.mka" filesrc location="$srt" ! subparse ! m.subtitle_%u
rm -f "$srt"
echo "samples and test clips written"
