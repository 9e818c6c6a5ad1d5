#include "bench_messages.h"

namespace vornmt::bench {
namespace {

std::string Property(int id, const std::string& value) {
    return "<property id=\"" + std::to_string(id) + "\">" + value + "</property>";
}

std::string Number(int value) { return "<number>" + std::to_string(value) + "</number>"; }

}  // namespace

std::string FrameMessage(int sequence, int points) {
    std::string list = "<array>";
    for (int i = 0; i < points; ++i) {
        int values[6] = {1, i, 1000 + 37 * i, 2000 + 41 * i, 12, 14};
        std::string point = "<array>";
        for (int v = 0; v < 6; ++v) point += Property(v, Number(values[v]));
        list += Property(i, point + "</array>");
    }
    list += "</array>";
    return "<invoke name='frame' returntype=\"xml\"><arguments>" + Number(sequence) + Number(0) + list +
           "</arguments></invoke>";
}

}  // namespace vornmt::bench
