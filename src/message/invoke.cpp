#include "message/invoke.h"

#include <tinyxml.h>

#include <iterator>
#include <utility>

#include "message/nesting_scan.h"

namespace vornmt::message {

namespace {

constexpr char kHead[] = "<invoke name='";
constexpr char kHeadEnd[] = "' returntype=\"xml\"><arguments>";
constexpr char kTail[] = "</arguments></invoke>";

// Level of the arguments' elements: invoke is 1, arguments 2.
constexpr int kArgumentLevel = 3;

}  // namespace

std::string BuildInvoke(const std::string& name, const std::string& arguments_xml) {
    std::string text;
    text.reserve(sizeof kHead + name.size() + sizeof kHeadEnd + arguments_xml.size() + sizeof kTail);
    text += kHead;
    text += name;
    text += kHeadEnd;
    text += arguments_xml;
    text += kTail;
    return text;
}

std::string BuildInvokeWithObject(const std::string& name, const ValueObject& object) {
    return BuildInvoke(name, ValueToXml(object));
}

std::string BuildInvokeWithoutArguments(const std::string& name) { return BuildInvoke(name, std::string()); }

bool ParseInvoke(const std::string& text, InvokeMessage& message) {
    const int depth = MeasureNesting(text, kMaxMessageDepth);
    if (depth == kNestingRefused || depth > kMaxMessageDepth) {
        return false;
    }

    TiXmlDocument document;
    // Row and column tracking is never read; tab size 0 turns it off without
    // changing what is parsed.
    document.SetTabSize(0);
    document.Parse(text.c_str());
    if (document.Error()) {
        return false;
    }
    const TiXmlElement* invoke = document.FirstChildElement("invoke");
    if (invoke == nullptr) {
        return false;
    }
    const std::string* name = invoke->Attribute(std::string("name"));
    if (name == nullptr) {
        return false;
    }
    const TiXmlElement* arguments = invoke->FirstChildElement("arguments");
    if (arguments == nullptr) {
        return false;
    }

    ValueArray values;
    std::size_t count = 0;
    for (const TiXmlElement* element = arguments->FirstChildElement(); element != nullptr;
         element = element->NextSiblingElement()) {
        ++count;
    }
    values.reserve(count);
    for (const TiXmlElement* element = arguments->FirstChildElement(); element != nullptr;
         element = element->NextSiblingElement()) {
        values.push_back(ValueFromXmlAtLevel(*element, kArgumentLevel));
    }

    std::string parsed_name = *name;
    if (message.arguments.empty()) {
        message.arguments = std::move(values);
    } else {
        message.arguments.insert(message.arguments.end(), std::make_move_iterator(values.begin()),
                                 std::make_move_iterator(values.end()));
    }
    message.name = std::move(parsed_name);
    return true;
}

}  // namespace vornmt::message
