# Seed folders of each fuzz target, relative to the repository: sourced by
# replay.sh and scripts/fuzz.sh.
seed_dirs() {
  case "$1" in
    tga) echo "tests/tga/fixtures samples" ;;
    tiff|lzw|packbits|huffman|predictor) echo "tests/tiff/fixtures" ;;
    config|command_line) echo "samples" ;;
    pipeline) echo "fuzz/seeds/pipeline" ;;
    png|jpeg|tiff_library|load_page) echo "fuzz/seeds/formats" ;;
    page_streams) echo "fuzz/seeds/formats fuzz/seeds/page_streams" ;;
    pdf) echo "fuzz/seeds/pdf" ;;
    pdf_file_source) echo "fuzz/seeds/pdf_file_source" ;;
    drop_text) echo "fuzz/seeds/drop_text" ;;
  esac
}
