"""Table of the process timings of make bench: medians, peaks and ratios."""
import json
import statistics
import sys


def medians(path):
    with open(path) as f:
        results = json.load(f)["results"]
    return {r["command"]: statistics.median(r["times"]) for r in results}


def main():
    processes, tiff = medians(sys.argv[1]), medians(sys.argv[2])
    peaks = {}
    with open(sys.argv[3]) as f:
        for line in f:
            name, _, kb = line.strip().rpartition(" ")
            peaks[name] = int(kb) / 1024 if kb.isdigit() else float("nan")

    def table(title, times, reference):
        print(f"\n{title}")
        print(f"| {'command':<22} | {'median s':>9} | {'peak MB':>8} | {'x ' + reference:>26} |")
        print(f"|{'-' * 24}|{'-' * 11}|{'-' * 10}|{'-' * 28}|")
        for name, t in times.items():
            ratio = t / times[reference]
            print(f"| {name:<22} | {t:9.3f} | {peaks.get(name, float('nan')):8.1f} | {ratio:26.2f} |")

    table("Whole process, A4 300 dpi page, default configuration (ratio: time / nivelo colour)",
          processes, "nivelo colour")
    table("LZW TIFF input, whole processes (ratio: time / tiffcp)", tiff, "tiffcp -c none")
    print("\nTargets: nivelo colour <= 0.25 s median, peers >= 10x, plain >= 8x, peak <= 90 MB,")
    print("         LoadTIFF (tiff_load: read and decode, nothing written) no slower than tiffcp -c none.")


main()
