#!/usr/bin/env python3
"""Plants one-line faults, one at a time, and reports which the suite catches.

    plant_faults.py BUILD_DIR [--only ID,ID...] [--asan ASAN_BUILD_DIR] [--tests REGEX]

BUILD_DIR is a configured build of this checkout (release, GUI on).  For each
fault: the line is changed, the build brought up to date, the tests that
usually see that subsystem run first, then, if they pass, the whole ctest
suite (stopping at the first failure); the file is restored whatever happens.
A fault whose original text is no longer in its file is "not applicable": its
line has moved and the table needs re-aiming.  Faults marked `asan` only show
as reads or writes past a buffer; with --asan they are also run in that
sanitizer build.  --tests keeps only the tests whose names match, to see what
a part of the suite catches alone.  The table printed at the end gives, for each fault, caught
or missed and the first failing test.
"""
import argparse
import os
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# (id, subsystem, file, original text, replacement, description, first tests, asan)
FAULTS = [
    ("core-grey-round", "core", "core/blit.cpp",
     "dp[j] = uint8_t((unsigned(sp[0]) + sp[1] + sp[2]) / 3);",
     "dp[j] = uint8_t((unsigned(sp[0]) + sp[1] + sp[2] + 1) / 3);",
     "grey of a colour pixel rounded instead of truncated", "core|Blit|tiff", False),
    ("core-save-in-place", "core", "core/output_file.cpp",
     'file->stream = std::fopen(file->temp, "wbx");', 'file->stream = std::fopen(file->path, "wb");',
     "result written in place instead of through a temporary file", "Save|hostile", False),
    ("core-no-fsync", "core", "core/durable_file.cpp",
     "return fsync(fileno(stream)) == 0;", "return fflush(stream) == 0;",
     "result renamed into place without being synced to disk", "Save|hostile", False),
    ("core-link-replaced", "core", "core/output_file.cpp",
     "std::rename(file->temp, file->target) != 0", "std::rename(file->temp, file->path) != 0",
     "a result whose name is a link replaces the link instead of its file", "Save|hostile", False),
    ("tga-palette-256", "tga", "tga/tga.cpp",
     "if (h.map_length > 256)", "if (h.map_length > 255)",
     "a full 256-entry palette refused", "tga|Tga", False),
    ("tga-rle-bytes", "tga", "tga/tga.cpp",
     "if (bytes > total - position) {", "if (count > total - position) {",
     "run-length packet checked in pixels, not bytes: overruns the image", "tga|Tga|hostile", True),
    ("tga-flip-middle", "tga", "tga/tga.cpp",
     "for (unsigned r = 0; r < image->height / 2u; r++) {",
     "for (unsigned r = 0; r <= image->height / 2u; r++) {",
     "bottom-up rows flipped one pair too many", "tga|Tga", False),
    ("tga-interlace-bits", "tga", "tga/tga.cpp",
     "if ((h.descriptor & 0xC0) != 0)", "if ((h.descriptor & 0x80) != 0)",
     "two-way interleaved image accepted as plain rows", "tga|Tga|hostile", False),
    ("tiff-packbits-repeat", "tiff", "tiff/packbits.cpp",
     "uint32_t count = uint32_t(1 - c);", "uint32_t count = uint32_t(-c);",
     "PackBits repeat one byte short", "tiff|Tiff|PackBits", False),
    ("tiff-lzw-fast-width", "tiff", "tiff/lzw_fast.cpp",
     "next_code < 1023 ? 10", "next_code < 1024 ? 10",
     "fast LZW widens to 11 bits one entry late", "tiff|Tiff|Lzw|LZW", False),
    ("tiff-lzw-plain-width", "tiff", "tiff/lzw.cpp",
     "if (s->next_code == 2047) s->code_width = 12;", "if (s->next_code == 2048) s->code_width = 12;",
     "plain LZW widens to 12 bits one entry late", "tiff|Tiff|Lzw|LZW", False),
    ("tiff-mh-makeup-64", "tiff", "tiff/modified_huffman.cpp",
     "if (run >= 64) continue;", "if (run > 64) continue;",
     "Modified Huffman make-up code of 64 taken as a terminating one", "tiff|Tiff|Huffman|MH", False),
    ("tiff-predictor-lane", "tiff", "tiff/predictor.cpp",
     "uint8_t a = row[0], b = row[1], c = row[2];", "uint8_t a = row[0], b = row[1], c = row[1];",
     "RGB predictor starts the blue sum from green", "tiff|Tiff|Predictor", False),
    ("tiff-uncompressed-short", "tiff", "tiff/reader.cpp",
     "s.byte_count < uint64_t(d->row_size) * StripRows(*d, i))",
     "s.byte_count < uint64_t(d->row_size))",
     "uncompressed strip checked for one row only: reads past the strip", "tiff|Tiff|hostile", True),
    ("tiff-last-strip", "tiff", "tiff/reader.cpp",
     "if (i + 1 < d.strip_count) return d.rows_per_strip;", "if (i < d.strip_count) return d.rows_per_strip;",
     "last strip taken as full: rows beyond the height", "tiff|Tiff", False),
    ("tiff-entry-in-place", "tiff", "tiff/reader.cpp",
     "if (uint64_t(size) * count > 4) {", "if (uint64_t(size) * count >= 4) {",
     "a tag value of exactly four bytes read from an offset instead of in place", "tiff|Tiff|Reader", False),
    ("tiff-strip-thread-result", "tiff", "tiff/strip_threads.cpp",
     "for (unsigned j = 1; j < count && j < 256; j++) ok = ok && results[j] == 1;",
     "for (unsigned j = 1; j + 1 < count && j < 256; j++) ok = ok && results[j] == 1;",
     "a damaged last strip decoded on its own thread passes for a good one", "tiff|Tiff|hostile", False),
    ("tiff-writer-cut", "tiff", "tiff/writer.cpp",
     "for (int b = 0; b < 8; b++) bits = (bits << 1) | unsigned(g[b] > 127);",
     "for (int b = 0; b < 8; b++) bits = (bits << 1) | unsigned(g[b] >= 127);",
     "black-and-white cut at 127 inclusive in whole bytes only", "tiff|Tiff|Writer", False),
    ("tiff-writer-last-count", "tiff", "tiff/writer.cpp",
     "return WriteU32(l.last_strip_rows * l.row_size);", "return WriteU32(l.strip_size);",
     "last strip's byte count written as a full strip", "tiff|Tiff|Writer", False),
    ("crop-last-pixel", "crop", "stages/background.cpp",
     "for (int32_t i = 0; i + 1 < line.length; i++, p += line.step) {",
     "for (int32_t i = 0; i < line.length; i++, p += line.step) {",
     "content run may use the line's last pixel", "stages|Background|Crop", False),
    ("stages-trace-row-above", "filters", "stages/trace_step.h",
     "} else if (y > 0 && Accepts(at(y - 1), accept)) {",
     "} else if (y > 0 && Accepts((pixels + size_t(y) * size_t(width))[x - size_t(width)], accept)) {",
     "row above reached through an unsigned index that wraps", "stages|Filter|fuzz_replay_pipeline", True),
    ("skew-sweep-tie", "skew", "stages/skew_search.cpp",
     "if (scores[i] > *best_score) {", "if (scores[i] >= *best_score) {",
     "precise sweep's ties go to the last angle tried", "Skew|Stage", False),
    ("skew-edge-negative", "skew", "stages/skew_search.cpp",
     "beyond || angle == limit || angle == -limit}", "beyond || angle == limit}",
     "a page found at exactly minus the range is not told to be at the edge", "Skew|Stage", False),
    ("blur-limit-boundary", "blur", "stages/blur.cpp",
     "if (d >= limit2) continue;", "if (d > limit2) continue;",
     "plain blur admits a pixel exactly at the colour limit", "stages|Blur|Twin|Fast", False),
    ("rotation-tie", "rotation", "stages/rotation.h",
     "double nearest = (high - value < value - low) ? high : low;",
     "double nearest = (high - value <= value - low) ? high : low;",
     "plain rotation rounds ties up", "stages|Rotat|Twin|Fast", False),
    ("blur-avx2-tail", "fast", "stages/blur_fast.cpp",
     "x = BlurSixteenAvx2(flat, flat_count, centre, job.limit2, x, width - radius, out_row);",
     "x = BlurSixteenAvx2(flat, flat_count, centre, job.limit2, x, width - radius + 1, out_row);",
     "AVX2 blur runs one pixel into the clipped right border", "stages|Blur|Twin|Fast", False),
    ("blur-avx512-limit", "fast", "stages/blur_avx512.cpp",
     "return _mm512_cmple_epu16_mask(a.v, b.v);", "return _mm512_cmplt_epu16_mask(a.v, b.v);",
     "AVX-512 blur refuses a pixel one below the colour limit", "stages|Blur|Twin|Fast", False),
    ("rotation-avx512-tie", "fast", "stages/lanes_avx512.h",
     "_mm512_cmp_pd_mask(a.v, b.v, _CMP_LT_OQ)", "_mm512_cmp_pd_mask(a.v, b.v, _CMP_LE_OQ)",
     "AVX-512 rotation rounds ties up", "stages|Rotat|Twin|Fast", False),
    ("rotation-avx2-colour", "fast", "stages/rotation_avx2.cpp",
     "p[b] = _mm256_cvtepi32_pd(_mm_shuffle_epi8(taps, select[b]));",
     "p[b] = _mm256_cvtepi32_pd(_mm_shuffle_epi8(taps, select[b == 2 ? 1 : b]));",
     "AVX2 rotation takes the third colour from the second byte", "stages|Rotat|Twin|Fast", False),
    ("filters-run-window", "filters", "stages/filters_fast.cpp",
     "int64_t last = window <= 0 ? width : width - window;",
     "int64_t last = window <= 0 ? width : width - window + 1;",
     "fast run filter marks one pixel into the last window", "stages|Filter|Twin|Fast", False),
    ("filters-mark-lane", "filters", "stages/filters_fast.cpp",
     "for (int32_t k = x; k < x + 8; k++)", "for (int32_t k = x; k < x + 7; k++)",
     "fast line-angle filter misses a mark in the eighth byte", "stages|Filter|Twin|Fast|Angle", False),
    ("batch-long-line", "batch", "config/grammar.cpp",
     "if (n == sizeof line - 1 && line[n - 1] != '\\n' && !std::feof(file)) {",
     "if (n == sizeof line && line[n - 1] != '\\n' && !std::feof(file)) {",
     "configuration line over 255 characters cut and applied", "batch|Command|Config", False),
    ("batch-source-guard", "batch", "batch/save_stage.cpp",
     "if (IsSourceImage(name)) {", "if (IsSourceImage(directory)) {",
     "source check on the directory: a result may overwrite the image", "batch|Pipeline|Save|hostile", False),
    ("batch-name-length", "batch", "batch/save_stage.cpp",
     "std::strlen(extension) >= size_t(kTextSize)) {", "std::strlen(extension) > size_t(kTextSize)) {",
     "output name of exactly 256 characters overflows its buffer", "batch|Pipeline|Save", True),
    ("batch-fill-order", "batch", "batch/pipeline.cpp",
     "chosen[0] = g_params.fill_colour[2];", "chosen[0] = g_params.fill_colour[0];",
     "fill colour's red and blue swapped", "batch|Pipeline|Preview", False),
    ("batch-preview-turn", "batch", "batch/pipeline.cpp",
     "bool turn = g_params.ROTATION && last >= 9;", "bool turn = g_params.ROTATION && last > 9;",
     "preview of stage 9 shows the page unturned", "batch|Preview", False),
    ("batch-resume-age", "batch", "batch/nivelo-batch",
     "[[ $result -nt $page ]] || return 1", "[[ $result -nt $config ]] || return 1",
     "--resume skips a page changed since its results were made", "batch|nivelo_batch", False),
    ("batch-csv-stale", "batch", "batch/nivelo-batch",
     'if [[ ! -e $r ]] || [[ -n ${before[$r]+set} && ${after[$r]-} == "${before[$r]}" ]]; then', "if [[ ! -e $r ]]; then",
     "a result left from an earlier run, not rewritten, reported ok", "batch|nivelo_batch", False),
    ("gui-writer-sides", "gui", "config/grammar.cpp",
     '(*bytes & SIDE_LEFT) ? "G" : ""', '(*bytes & SIDE_RIGHT) ? "G" : ""',
     "GUI writes G for the right side", "gui", False),
    ("gui-split-path", "gui", "gui/file_names.cpp",
     "directory[split + 1] = '\\0';", "directory[split] = '\\0';",
     "directory of a chosen file loses its separator", "gui", False),
    ("gui-mark-stale", "gui", "gui/panels.cpp",
     "if (g_valid_limit > g_current_panel) g_valid_limit = g_current_panel;",
     "if (g_valid_limit > g_current_panel + 1) g_valid_limit = g_current_panel + 1;",
     "an edit leaves its own stage's result current", "gui|Gui|PreviewTest|Panels|DailyUse|RealRuns|SplitPath|ConfigFile|Views", False),
    ("gui-switch-mask", "gui", "gui/previews.cpp",
     "RunPreview(g_image_directory, g_image_name, StageMask(first, c + 1));",
     "RunPreview(g_image_directory, g_image_name, StageMask(first, c));",
     "a panel switch does not ask for the new panel's after image", "gui|Gui|PreviewTest|Panels|DailyUse|RealRuns|SplitPath|ConfigFile|Views", False),
    ("gui-update-mask", "gui", "gui/previews.cpp",
     "RunPreview(g_image_directory, g_image_name, StageMask(c + 1, c + 1));",
     "RunPreview(g_image_directory, g_image_name, StageMask(c, c + 1));",
     "an update asks for the before image as well", "gui|Gui|PreviewTest|Panels|DailyUse|RealRuns|SplitPath|ConfigFile|Views", False),
    ("gui-rotation-before", "gui", "gui/previews.cpp",
     "return panel == 8 ? 3 : panel;", "return panel == 8 ? 2 : panel;",
     "rotation panel shows the blur's result as its before image", "gui|Gui|PreviewTest|Panels|DailyUse|RealRuns|SplitPath|ConfigFile|Views", False),
    ("gui-zoom-50-page", "gui", "gui/scroll.cpp",
     "range.page = view * f;", "range.page = view;",
     "at 50 % the scroll page is not doubled", "gui|Gui|PreviewTest|Panels|DailyUse|RealRuns|SplitPath|ConfigFile|Views", False),
    ("gui-full-page-scale", "gui", "gui/render.cpp",
     "x = (j * h0) / vh;", "x = (j * w0) / vw;",
     "full page of a tall image scales columns by the width", "gui|Gui|PreviewTest|Panels|DailyUse|RealRuns|SplitPath|ConfigFile|Views", False),
    ("gui-switch-inverted", "gui", "gui/panels.cpp",
     "*value = PlatformGetCheck(dialog, id) ? 1 : 0;", "*value = PlatformGetCheck(dialog, id) ? 0 : 1;",
     "a yes/no check box stores the opposite value", "gui|Gui|PreviewTest|Panels|DailyUse|RealRuns|SplitPath|ConfigFile|Views", False),
    ("gui-convert-last", "gui", "gui/conversion.cpp",
     "for (; i < count; i++) {", "for (; i + 1 < count; i++) {",
     "conversion skips the last chosen file", "gui|Gui|PreviewTest|Panels|DailyUse|RealRuns|SplitPath|ConfigFile|Views", False),
    ("gui-report-heading", "gui", "gui/run_report.cpp",
     "bool heading = true;", "bool heading = false;",
     "the command heading nivelo's output shown as one of its messages", "gui|Gui|PreviewTest|Panels|DailyUse|RealRuns|SplitPath|ConfigFile|Views", False),
    ("gui-folder-separator", "gui", "gui/panels.cpp",
     "if (path.back() != kPathSeparator) path += kPathSeparator;", "if (path.back() != kPathSeparator) {}",
     "a chosen folder is kept without its separator", "gui|Gui|PreviewTest|Panels|DailyUse|RealRuns|SplitPath|ConfigFile|Views", False),
]


def run(command, cwd, timeout=3600, env=None):
    result = subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, errors="replace", timeout=timeout, env=env)
    return result.returncode, result.stdout


def first_failure(output):
    failed = re.findall(r"^\s*\d+ - (\S+) \(", output, re.M)
    if failed:
        return failed[0]
    match = re.search(r"(\S+) \.+\*+\w*Failed|\d+/\d+ Test +#\d+: (\S+) \.+\*", output)
    return (match.group(1) or match.group(2)) if match else "?"


def test_names(build):
    _, out = run(["ctest", "-N"], build)
    return re.findall(r"Test +#\d+: (\S+)", out)


def suite(build, pattern, names):
    """(caught, first failing test) for the tests matching pattern, all if None."""
    env = dict(os.environ, LSAN_OPTIONS="suppressions=" + os.path.join(ROOT, "tests/lsan_suppressions.txt"))
    command = ["ctest", "--stop-on-failure", "-j2", "--timeout", "300"]
    if pattern is not None:
        chosen = [n for n in names if re.search(pattern, n, re.I)]
        if not chosen:
            return False, ""
        command += ["-R", "^(" + "|".join(re.escape(n) for n in chosen) + ")$"]
    code, out = run(command, build, env=env)
    return code != 0, first_failure(out) if code != 0 else ""


def check(build, fault, names):
    code, out = run(["cmake", "--build", build, "-j2"], build)
    if code != 0:
        return "build fails", out.strip().splitlines()[-1][:60] if out.strip() else ""
    caught, test = suite(build, fault[6], names)
    if not caught:
        caught, test = suite(build, "", names)
    return ("caught" if caught else "MISSED"), test


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--only", default="")
    parser.add_argument("--asan", default="")
    parser.add_argument("--tests", default="")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    only = set(filter(None, args.only.split(",")))
    faults = [f for f in FAULTS if not only or f[0] in only]
    run(["cmake", "--build", build, "-j2"], build)
    kept = lambda names: [n for n in names if re.search(args.tests, n)]
    names = kept(test_names(build))
    asan_names = kept(test_names(args.asan)) if args.asan else []
    rows = []
    for fault in faults:
        ident, subsystem, path, original, replacement, description = fault[:6]
        full = os.path.join(ROOT, path)
        with open(full, encoding="utf-8") as f:
            text = f.read()
        if text.count(original) != 1:
            rows.append((ident, subsystem, "not applicable", "", description))
            continue
        started = time.time()
        try:
            with open(full, "w", encoding="utf-8") as f:
                f.write(text.replace(original, replacement))
            verdict, test = check(build, fault, names)
            if fault[7] and args.asan:
                asan_verdict, asan_test = check(os.path.abspath(args.asan), fault, asan_names)
                if verdict != "caught":
                    verdict, test = asan_verdict + " (sanitizer)", asan_test
        finally:
            with open(full, "w", encoding="utf-8") as f:
                f.write(text)
        rows.append((ident, subsystem, verdict, test, description))
        print(f"{ident:26} {verdict:10} {test:40} {time.time() - started:5.0f} s", flush=True)
    run(["cmake", "--build", build, "-j2"], build)
    if args.asan:
        run(["cmake", "--build", os.path.abspath(args.asan), "-j2"], args.asan)
    print()
    print(f"{'fault':26} {'subsystem':9} {'result':14} {'first failing test':44} description")
    for ident, subsystem, verdict, test, description in rows:
        print(f"{ident:26} {subsystem:9} {verdict:14} {test:44} {description}")
    caught = sum(1 for r in rows if r[2].startswith("caught"))
    applicable = sum(1 for r in rows if r[2] != "not applicable")
    print(f"\n{caught} of {applicable} applicable faults caught ({len(rows)} planted)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
