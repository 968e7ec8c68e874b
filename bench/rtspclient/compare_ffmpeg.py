#!/usr/bin/python3
"""CPU seconds of our RTSP client and FFmpeg's, side by side on one GStreamer stream.

Usage: compare_ffmpeg.py BUILD_DIR [--seconds 20] [--bitrate 20000] [--tcp] [--runs 3]
For each run, starts tests/rtspclient/gst_rtsp_server.py at 1920x1080, 60 fps (high
entropy: videotestsrc pattern=snow), runs `rtspclient-count URL N` and
`ffmpeg -i URL -c copy -f null -` at the same time for the same duration, and prints the
user+system CPU seconds of each; then the median ratio of the runs.
"""
import argparse
import os
import signal
import statistics
import subprocess
import sys
import time

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.dirname(os.path.dirname(here))


def run_once(a):
    server = subprocess.Popen(["/usr/bin/python3", os.path.join(root, "tests/rtspclient/gst_rtsp_server.py"),
                               "--width", "1920", "--height", "1080", "--fps", "60", "--bitrate", str(a.bitrate),
                               "--pattern", "snow"],
                              stdout=subprocess.PIPE, text=True)
    url = server.stdout.readline().strip()
    try:
        ours_cmd = [os.path.join(a.build, "bin/rtspclient-count"), url, str(a.seconds)] + (["--tcp"] if a.tcp else [])
        ff_cmd = ["ffmpeg", "-nostdin", "-loglevel", "fatal"] + (["-rtsp_transport", "tcp"] if a.tcp else []) + \
                 ["-i", url, "-c", "copy", "-f", "null", "-"]
        ours = subprocess.Popen(ours_cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        ff = subprocess.Popen(ff_cmd)
        time.sleep(a.seconds)
        ff.send_signal(signal.SIGINT)
        results = {}
        for name, proc in (("ours", ours), ("ffmpeg", ff)):
            _, status, usage = os.wait4(proc.pid, 0)
            results[name] = usage.ru_utime + usage.ru_stime
            print("%s: user %.3f s, system %.3f s, %d wake-ups" % (name, usage.ru_utime, usage.ru_stime, usage.ru_nvcsw))
        output = ours.stdout.read().strip()
        print(output)
        print("command ours:   " + " ".join(ours_cmd))
        print("command ffmpeg: " + " ".join(ff_cmd))
        sinks = [line for line in output.split("\n") if line.startswith("sink frames=")]
        if not sinks or sinks[0].startswith("sink frames=0 "):  # the video sink comes first
            print("run discarded: no video reached our client (the server did not start in time)", flush=True)
            return None
        ratio = results["ours"] / max(results["ffmpeg"], 1e-9)
        print("cpu_seconds ours=%.3f ffmpeg=%.3f ratio=%.2f" % (results["ours"], results["ffmpeg"], ratio),
              flush=True)
        return ratio
    finally:
        server.terminate()
        server.wait()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("build")
    p.add_argument("--seconds", type=float, default=20)
    p.add_argument("--bitrate", type=int, default=20000)
    p.add_argument("--tcp", action="store_true")
    p.add_argument("--runs", type=int, default=3)
    a = p.parse_args()
    ratios = []
    for _ in range(a.runs * 2):  # a discarded run is repeated, up to as many times again
        ratio = run_once(a)
        if ratio is not None:
            ratios.append(ratio)
        if len(ratios) == a.runs:
            break
    print("median ratio over %d runs (%s): %.2f" % (len(ratios), "TCP" if a.tcp else "UDP", statistics.median(ratios)))


if __name__ == "__main__":
    sys.exit(main())
