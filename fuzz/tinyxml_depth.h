// How deep TinyXML really nests a text, for checking the nesting scan against
// it (the parse_invoke fuzzer and the scan's tests share it).
#pragma once

#include <tinyxml.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace vornmt::fuzzing {

// The deepest element level TinyXML builds, error or not (it keeps what it
// parsed before an error). Walked without recursion.
inline int BuiltDepth(const std::string& text) {
    TiXmlDocument document;
    document.Parse(text.c_str());
    int deepest = 0;
    std::vector<std::pair<const TiXmlNode*, int>> pending{{&document, 0}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        for (const TiXmlNode* child = node->FirstChild(); child != nullptr; child = child->NextSibling()) {
            if (child->ToElement() != nullptr) {
                deepest = std::max(deepest, depth + 1);
                pending.push_back({child, depth + 1});
            }
        }
    }
    return deepest;
}

}  // namespace vornmt::fuzzing
