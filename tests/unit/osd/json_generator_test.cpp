// The JSON generator's exact text: punctuation, nesting, and escaping.
#include "osd/json_generator.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

TEST(JsonGenerator, DocumentsComeOutExactly) {
    struct Case {
        const char* what;
        std::function<void(json_generator&)> write;
        const char* want;
    } cases[] = {
        {"one pair", [](json_generator& j) { j.add_pair("a", "1"); }, R"({"a":"1"})"},
        {"nested group and array of groups",
         [](json_generator& j) {
             j.add_pair("name", "CH1");
             j.add_header("input");
             j.start_group();
             j.add_pair("h", "1920");
             j.add_pair("v", "1080");
             j.end_group();
             j.add_header("outputs");
             j.start_dim();
             j.start_group();
             j.add_pair("n", "1");
             j.end_group();
             j.start_group();
             j.add_pair("n", "2");
             j.end_group();
             j.end_dim();
             j.add_pair("state", "on");
         },
         R"({"name":"CH1","input":{"h":"1920","v":"1080"},"outputs":[{"n":"1"},{"n":"2"}],"state":"on"})"},
        {"an array closing the document",
         [](json_generator& j) {
             j.add_header("x");
             j.start_dim();
             j.start_group();
             j.add_pair("a", "1");
             j.end_group();
             j.start_group();
             j.add_header("deep");
             j.start_group();
             j.add_pair("b", "2");
             j.end_group();
             j.end_group();
             j.end_dim();
         },
         R"({"x":[{"a":"1"},{"deep":{"b":"2"}}]})"},
        {"values of an array", [](json_generator& j) {
             j.add_header("v");
             j.start_dim();
             j.add_value("1");
             j.add_value("2");
             j.end_dim();
         }, R"({"v":["1","2"]})"},
        {"free text extends the last value",
         [](json_generator& j) {
             j.add_pair("ver", "1.2");
             j.add_free_text(".3");
         },
         R"({"ver":"1.2.3"})"},
        {"quotes, backslashes and control characters are escaped",
         [](json_generator& j) {
             j.add_pair("la\"bel", "C:\\x\r\n\t\x01");
             j.add_free_text("\"");
         },
         R"({"la\"bel":"C:\\x\r\n\t\u0001\""})"},
        {"empty group and array",
         [](json_generator& j) {
             j.add_header("g");
             j.start_group();
             j.end_group();
             j.add_header("d");
             j.start_dim();
             j.end_dim();
         },
         R"({"g":{},"d":[]})"},
        {"empty document", [](json_generator&) {}, "{}"},
    };
    for (const Case& c : cases) {
        json_generator j;
        c.write(j);
        j.end_json();
        EXPECT_EQ(j.to_string(), c.want) << c.what;
    }
}

}  // namespace
