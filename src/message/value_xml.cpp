#include "message/value_xml.h"

#include <tinyxml.h>

#include "message/number_text.h"

namespace vornmt::message {

namespace {

// Escapes what would end or corrupt the surrounding markup. Quotes matter
// only inside the id attribute, whose value is written between '"'. A reader
// with TinyXML's default settings turns CR into LF, trims white space at both
// ends of a text and condenses runs of it (form feed and vertical tab count
// as white space there), but keeps characters written as references: so
// tabs, line ends, form feeds and vertical tabs always, and spaces at either
// end or after another space, are written as references and arrive unchanged.
void AppendEscaped(std::string& out, const std::string& text, bool in_attribute) {
    const std::size_t last = text.size() - 1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '\0': out += "&#0;"; break;
            case '\t': out += "&#9;"; break;
            case '\n': out += "&#10;"; break;
            case '\r': out += "&#13;"; break;
            case '\v': out += "&#11;"; break;
            case '\f': out += "&#12;"; break;
            case ' ':
                if (i == 0 || i == last || text[i - 1] == ' ') {
                    out += "&#32;";
                } else {
                    out += c;
                }
                break;
            case '"':
                if (in_attribute) {
                    out += "&quot;";
                } else {
                    out += c;
                }
                break;
            default: out += c; break;
        }
    }
}

// A text of white space only would be dropped by the reader whatever its
// form, except as a CDATA section, which it keeps as it stands.
void AppendStringText(std::string& out, const std::string& text) {
    if (!text.empty() && text.find_first_not_of(" \t\n\r\f\v") == std::string::npos) {
        out += "<![CDATA[";
        out += text;
        out += "]]>";
    } else {
        AppendEscaped(out, text, false);
    }
}

void AppendArray(std::string& out, const ValueArray& array) {
    out += "<array>";
    int index = 0;
    for (const Value& element : array) {
        out += "<property id=\"";
        AppendIntegerText(out, index++);
        out += "\">";
        AppendValueXml(out, element);
        out += "</property>";
    }
    out += "</array>";
}

void AppendObject(std::string& out, const ValueObject& object) {
    out += "<object>";
    for (const auto& [key, value] : object) {
        out += "<property id=\"";
        AppendEscaped(out, key, true);
        out += "\">";
        AppendValueXml(out, value);
        out += "</property>";
    }
    out += "</object>";
}

// The text TinyXML delivers for a node: an element's name, a text's text.
const std::string& TextOf(const TiXmlNode& node) { return node.ValueStr(); }

std::size_t CountChildren(const TiXmlNode& node) {
    std::size_t count = 0;
    for (const TiXmlNode* child = node.FirstChild(); child != nullptr; child = child->NextSibling()) {
        ++count;
    }
    return count;
}

ValueArray ReadArray(const TiXmlElement& element, int level) {
    ValueArray array;
    // Each element's value sits two levels down, inside its property element.
    if (level + 2 > kMaxMessageDepth) {
        return array;
    }
    // Value's move may allocate and is not noexcept, so a growing vector
    // would copy whole subtrees; reserving keeps every element in place.
    array.reserve(CountChildren(element));
    for (const TiXmlNode* child = element.FirstChild(); child != nullptr; child = child->NextSibling()) {
        if (const TiXmlNode* held = child->FirstChild()) {
            array.push_back(ValueFromXmlAtLevel(*held, level + 2));
        }
    }
    return array;
}

ValueObject ReadObject(const TiXmlElement& element, int level) {
    ValueObject object;
    if (level + 2 > kMaxMessageDepth) {
        return object;
    }
    for (const TiXmlElement* child = element.FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        const std::string* id = child->Attribute(std::string("id"));
        if (id == nullptr || object.count(*id) != 0) {
            continue;  // no key, or a repeated one: the first property stays
        }
        const TiXmlNode* held = child->FirstChild();
        object.emplace(*id, held != nullptr ? ValueFromXmlAtLevel(*held, level + 2) : Value());
    }
    return object;
}

}  // namespace

void AppendValueXml(std::string& out, const Value& value) {
    switch (KindOf(value)) {
        case ValueKind::Null:
            out += "<null/>";
            break;
        case ValueKind::Boolean:
            out += boost::get<bool>(value) ? "<boolean>true</boolean>" : "<boolean>false</boolean>";
            break;
        case ValueKind::Integer:
            out += "<number>";
            AppendIntegerText(out, boost::get<int>(value));
            out += "</number>";
            break;
        case ValueKind::Real:
            out += "<number>";
            AppendRealText(out, boost::get<double>(value));
            out += "</number>";
            break;
        case ValueKind::String:
            out += "<string>";
            AppendStringText(out, boost::get<std::string>(value));
            out += "</string>";
            break;
        case ValueKind::Array:
            AppendArray(out, *AsArray(value));
            break;
        case ValueKind::Object:
            AppendObject(out, *AsObject(value));
            break;
    }
}

std::string ValueToXml(const Value& value) {
    std::string out;
    AppendValueXml(out, value);
    return out;
}

std::string ValueToXml(const ValueArray& array) {
    std::string out;
    AppendArray(out, array);
    return out;
}

std::string ValueToXml(const ValueObject& object) {
    std::string out;
    AppendObject(out, object);
    return out;
}

Value ValueFromXmlAtLevel(const TiXmlNode& node, int level) {
    const TiXmlElement* element = node.ToElement();
    if (element == nullptr || level > kMaxMessageDepth) {
        return Value();
    }
    // A view compares by length first: no strlen per kind tried.
    const std::string_view name = TextOf(*element);
    const TiXmlNode* first = element->FirstChild();
    if (name == "number") {
        return first != nullptr ? NumberFromText(TextOf(*first)) : Value(0);
    }
    if (name == "string") {
        return first != nullptr ? Value(TextOf(*first)) : Value(std::string());
    }
    if (name == "boolean") {
        return Value(first != nullptr && TextOf(*first) == "true");
    }
    if (name == "array") {
        return ReadArray(*element, level);
    }
    if (name == "object") {
        return ReadObject(*element, level);
    }
    return Value();
}

}  // namespace vornmt::message
