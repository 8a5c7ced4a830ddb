#include "documents/pdf_content.h"

#include <string>
#include <vector>

#include "documents/pdf_stream.h"

namespace {

// Forms inside forms: real files nest one or two; a form drawing itself
// would otherwise never end.
constexpr unsigned kMostFormDepth = 8;
// Operands kept before an operator: no drawing operator takes more, and
// hostile content may pile up millions.
constexpr size_t kMostOperands = 16;
constexpr int kInvisibleText = 3;
// A scanned page draws its image in a few dozen bytes of content, an OCR
// text layer takes some hundreds of kilobytes.  The bound is on all the
// content a page parses, forms included, however often they are drawn: a
// form drawing another many times over would otherwise multiply the work
// at every level.
constexpr uint64_t kMostContentBytes = 8u << 20;
// q without Q: PDF readers allow 28 levels; past this the saved modes are
// not kept, which only matters to content that is hostile anyway.
constexpr size_t kMostSavedStates = 4096;

bool IsPainting(const std::string& op)
{
    static const char* const kPaint[] = {"S", "s", "f", "F", "f*", "B", "B*", "b", "b*", "sh"};
    for (const char* p : kPaint)
        if (op == p) return true;
    return false;
}

// Counts the stream's decoded bytes into *parsed; false once the page's
// content passes kMostContentBytes.  A stream that cannot be decoded
// fits: qpdf's parser will say what is wrong with it.
bool ContentFits(QPDFObjectHandle stream, uint64_t* parsed)
{
    std::vector<Filter> filters;
    QPDF* owner = stream.isStream() ? stream.getOwningQPDF() : nullptr;
    if (owner == nullptr || !ReadFilters(stream.getDict(), &filters)) return true;
    std::string data;
    bool complete = false;
    uint64_t room = kMostContentBytes - *parsed;
    if (StreamData(*owner, stream, filters, false, room, &data, &complete) && data.size() >= room) return false;
    *parsed += data.size();
    return true;
}

bool IsTextShowing(const std::string& op) { return op == "Tj" || op == "TJ" || op == "'" || op == "\""; }

class DrawingWalker : public QPDFObjectHandle::ParserCallbacks {
public:
    DrawingWalker(PageDrawing* found, QPDFObjectHandle resources, unsigned depth)
        : found_(found), resources_(resources), depth_(depth)
    {
    }

    void handleObject(QPDFObjectHandle object) override
    {
        if (!object.isOperator()) {
            if (operands_.size() < kMostOperands) operands_.push_back(object);
            return;
        }
        Operator(object.getOperatorValue());
        operands_.clear();
    }

    void handleEOF() override {}

private:
    void Operator(const std::string& op)
    {
        if (op == "q") {
            if (saved_modes_.size() < kMostSavedStates) saved_modes_.push_back(render_mode_);
        } else if (op == "Q") {
            if (!saved_modes_.empty()) {
                render_mode_ = saved_modes_.back();
                saved_modes_.pop_back();
            }
        } else if (op == "Tr") {
            // Render modes are 0 to 7; anything else is no mode at all.
            if (!operands_.empty() && operands_.back().isInteger())
                render_mode_ = operands_.back().getIntValue() == kInvisibleText ? kInvisibleText : 0;
        } else if (IsTextShowing(op)) {
            if (render_mode_ != kInvisibleText) found_->text++;
        } else if (IsPainting(op)) {
            if (found_->images + found_->inline_images > 0) found_->drawn_after++;
        } else if (op == "BI") {
            found_->inline_images++;
        } else if (op == "Do" && !operands_.empty() && operands_.back().isName()) {
            Draw(operands_.back().getName());
        }
    }

    void Draw(const std::string& name)
    {
        if (!resources_.isDictionary()) return;
        QPDFObjectHandle xobjects = resources_.getKey("/XObject");
        if (!xobjects.isDictionary()) return;
        QPDFObjectHandle x = xobjects.getKey(name);
        if (!x.isStream()) return;
        QPDFObjectHandle subtype = x.getDict().getKey("/Subtype");
        if (subtype.isNameAndEquals("/Image")) {
            found_->images++;
            found_->image = x;
        } else if (subtype.isNameAndEquals("/Form")) {
            if (depth_ >= kMostFormDepth) {
                found_->too_deep++;
                return;
            }
            if (!ContentFits(x, &found_->parsed)) {
                found_->too_big++;
                return;
            }
            QPDFObjectHandle own = x.getDict().getKey("/Resources");
            DrawingWalker inner(found_, own.isDictionary() ? own : resources_, depth_ + 1);
            inner.render_mode_ = render_mode_;
            x.parseAsContents(&inner);
        }
    }

    PageDrawing* found_;
    QPDFObjectHandle resources_;
    unsigned depth_;
    int render_mode_ = 0;
    std::vector<int> saved_modes_;
    std::vector<QPDFObjectHandle> operands_;
};

}  // namespace

void FindPageDrawing(QPDFPageObjectHelper& page, PageDrawing* found)
{
    for (QPDFObjectHandle& content : page.getObjectHandle().getPageContents())
        if (!ContentFits(content, &found->parsed)) {
            found->too_big++;
            return;
        }
    DrawingWalker walker(found, page.getAttribute("/Resources", false), 0);
    page.parseContents(&walker);
}
