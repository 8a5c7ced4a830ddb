#include "documents/pdf_stream.h"

namespace {

// Filters chained on one stream: real files use one or two.
constexpr size_t kMostFilters = 8;

// Keeps the first `limit` bytes a stream decodes to and stops the decoding
// there, so that a small stream that inflates without end costs nothing.
class BoundedSink : public Pipeline {
public:
    explicit BoundedSink(uint64_t limit) : Pipeline("nivelo", nullptr), limit_(limit) {}
    void write(unsigned char const* data, size_t len) override
    {
        uint64_t room = limit_ - bytes.size();
        bytes.append(reinterpret_cast<const char*>(data), size_t(len < room ? len : room));
        if (len > room) {
            over = true;
            throw Enough();
        }
    }
    void finish() override {}
    struct Enough {};
    std::string bytes;
    bool over = false;

private:
    uint64_t limit_;
};

std::string Canonical(const std::string& name)
{
    // The short names are those of inline images; some writers use them on
    // streams too.
    static const char* const kShort[][2] = {{"/DCT", "/DCTDecode"},     {"/CCF", "/CCITTFaxDecode"},
                                            {"/Fl", "/FlateDecode"},     {"/LZW", "/LZWDecode"},
                                            {"/AHx", "/ASCIIHexDecode"}, {"/A85", "/ASCII85Decode"},
                                            {"/RL", "/RunLengthDecode"}};
    for (const auto& s : kShort)
        if (name == s[0]) return s[1];
    return name;
}

}  // namespace

int ReadFilters(QPDFObjectHandle dict, std::vector<Filter>* filters)
{
    QPDFObjectHandle f = dict.getKey("/Filter"), p = dict.getKey("/DecodeParms");
    if (f.isNull()) return 1;
    if (f.isName()) {
        filters->push_back({Canonical(f.getName()), p.isArray() ? p.getArrayItem(0) : p});
        return 1;
    }
    if (!f.isArray() || size_t(f.getArrayNItems()) > kMostFilters) return 0;
    for (int i = 0; i < f.getArrayNItems(); i++) {
        QPDFObjectHandle name = f.getArrayItem(i);
        if (!name.isName()) return 0;
        QPDFObjectHandle parms = p.isArray() ? p.getArrayItem(i) : f.getArrayNItems() == 1 ? p : QPDFObjectHandle();
        filters->push_back({Canonical(name.getName()), parms});
    }
    return 1;
}

int StreamData(QPDF& pdf, QPDFObjectHandle stream, const std::vector<Filter>& filters, bool keep_last,
               uint64_t limit, std::string* out, bool* complete)
{
    QPDFObjectHandle source = stream;
    if (keep_last && filters.size() > 1) {
        // A copy whose filters stop short of the last, for qpdf to undo.
        QPDFObjectHandle names = QPDFObjectHandle::newArray(), parms = QPDFObjectHandle::newArray();
        for (size_t i = 0; i + 1 < filters.size(); i++) {
            names.appendItem(QPDFObjectHandle::newName(filters[i].name));
            // qpdf refuses parameters, even none, to filters that take none.
            QPDFObjectHandle p = filters[i].parms;
            bool some = p.isDictionary() && !p.getKeys().empty();
            parms.appendItem(some ? p : QPDFObjectHandle::newNull());
        }
        std::shared_ptr<Buffer> raw = stream.getRawStreamData();
        source = pdf.newStream();
        source.replaceStreamData(std::string(reinterpret_cast<const char*>(raw->getBuffer()), raw->getSize()),
                                 names, parms);
    } else if (keep_last) {
        std::shared_ptr<Buffer> raw = stream.getRawStreamData();
        if (raw->getSize() > limit) return *complete = false, 1;
        out->assign(reinterpret_cast<const char*>(raw->getBuffer()), raw->getSize());
        return *complete = true, 1;
    }
    BoundedSink sink(limit);
    bool attempted = false, ok = false;
    try {
        ok = source.pipeStreamData(&sink, &attempted, 0, qpdf_dl_generalized, true, false);
    } catch (const BoundedSink::Enough&) {
        attempted = true;
    }
    size_t undone = keep_last ? filters.size() - 1 : filters.size();
    if (undone > 0 && !attempted) return 0;
    *complete = ok && !sink.over;
    *out = std::move(sink.bytes);
    return 1;
}

