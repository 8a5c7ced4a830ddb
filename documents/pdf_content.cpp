#include "documents/pdf_content.h"

#include <string>
#include <vector>

namespace {

// Forms inside forms: real files nest one or two; a form drawing itself
// would otherwise never end.
constexpr unsigned kMostFormDepth = 8;
// Operands kept before an operator: no drawing operator takes more, and
// hostile content may pile up millions.
constexpr size_t kMostOperands = 16;
constexpr int kInvisibleText = 3;
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
            if (!operands_.empty() && operands_.back().isNumber()) render_mode_ = int(operands_.back().getNumericValue());
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
    DrawingWalker walker(found, page.getAttribute("/Resources", false), 0);
    page.parseContents(&walker);
}
