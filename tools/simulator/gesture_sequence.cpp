#include "simulator/gesture_sequence.h"

#include "client/gesture_names.h"
#include "common/text_parsing.h"

namespace vornmt::tools {
bool ExpandGestureSequence(const std::string& text, std::vector<int>* codes) {
    codes->clear();
    for (std::string_view field : SplitFields(text)) {
        if (field.size() > 1 && field[0] == 'x') {
            int count = 0;
            if (codes->empty() || !ParseInteger(field.substr(1), &count) || count < 1) return false;
            codes->insert(codes->end(), static_cast<std::size_t>(count - 1), codes->back());
            continue;
        }
        int code = client::GestureCodeOfName(field);
        if (code < 0) return false;
        codes->push_back(code);
    }
    return true;
}

}  // namespace vornmt::tools
