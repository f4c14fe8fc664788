#include "db/Query.h"

#include <gtest/gtest.h>

using orvelle::db::MakePositional;

namespace {

struct Case {
    std::string text;
    std::string positional;
    std::vector<std::string> names;
};

TEST(MakePositional, NamesBecomeQuestionMarks) {
    const Case cases[] = {
        {"WHERE IDPARENT = :paretq AND NEEDSHOW<>0",
         "WHERE IDPARENT = ? AND NEEDSHOW<>0",
         {"paretq"}},
        {"WHERE B_DOC_CONTENTS.ID = :paretq \r\n", "WHERE B_DOC_CONTENTS.ID = ? \r\n", {"paretq"}},
        {"a=:x,b=:y_2$z)", "a=?,b=?)", {"x", "y_2$z"}},
        {"a=:\"Mixed Name\"+1", "a=?+1", {"Mixed Name"}},
        {"x = ':lit' and y = \":quoted\" and z=:real",
         "x = ':lit' and y = \":quoted\" and z=?",
         {"real"}},
        {"x = 'it''s :no' and :yes", "x = 'it''s :no' and ?", {"yes"}},
        {"/* :hidden */ a = :shown /* :again", "/* :hidden */ a = ? /* :again", {"shown"}},
        {"a = :", "a = ?", {""}},
        {"a = :p:q", "a = ??", {"p", "q"}},
        {"'unterminated :x", "'unterminated :x", {}},
        {"no parameters", "no parameters", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> names;
        EXPECT_EQ(MakePositional(c.text, &names), c.positional) << c.text;
        EXPECT_EQ(names, c.names) << c.text;
    }
}

} // namespace
