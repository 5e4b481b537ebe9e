// The function stack: balance, argument walks, copies, forms and rewrites.
#include <functional>
#include <gtest/gtest.h>

#include "orlix/error.h"
#include "orlix/fstack.h"
#include "orlix/math_engine.h"

using orlix::Error;
using orlix::fStack;

namespace {

using Items = std::vector<fStack::Item>;

fStack::Owner listOf(const Items& items)
{
    fStack::Owner list;
    for (const fStack::Item& item : items) {
        fStack::Owner node = std::holds_alternative<std::string>(item)
                                 ? fStack::initWithName(std::get<std::string>(item))
                                 : fStack::initWithConst(std::get<double>(item));
        if (!list)
            list = std::move(node);
        else
            list->addNext(std::move(node));
    }
    return list;
}

std::string names(const fStack* n)
{
    std::string out;
    for (n = n->first(); n; n = n->next) {
        if (!out.empty())
            out += ' ';
        out += n->funcName ? *n->funcName : std::to_string(static_cast<int>(n->c));
    }
    return out;
}

TEST(FunctionStack, BalanceRule)
{
    struct Case {
        Items items;
        bool ok;
    };
    const Case cases[] = {
        {{2.0, "x", "*", 1.0, "+"}, true},
        {{2.0, "x"}, false},
        {{"+", 1.0, 2.0}, false},
        {{"x", "sin"}, true},
        {{"x", "y", "-", "-"}, false},
        {{"x", "--", "inv"}, true},
        {{"sin"}, false},
        {{"x", "y", "z"}, false}, // unknown names count as one-argument
    };
    for (const Case& c : cases)
        EXPECT_EQ(listOf(c.items)->isOK(), c.ok) << names(listOf(c.items).get());
}

TEST(FunctionStack, ArgumentsAreFoundByWalkingBack)
{
    fStack::Owner list = listOf({"a", "b", "-"});
    fStack* minus = list->last();
    EXPECT_EQ(names(minus->copyFirstArg().get()), "b");
    EXPECT_EQ(names(minus->copySecondArg().get()), "a");
    EXPECT_TRUE(minus->secondArg()->is("a"));
    EXPECT_TRUE(minus->argNumberN(2)->is("a"));

    fStack::Owner nested = listOf({"x", 2.0, "^", "y", "sin", "*"});
    fStack* times = nested->last();
    EXPECT_EQ(names(times->copyFirstArg().get()), "y sin");
    EXPECT_EQ(names(times->copySecondArg().get()), "x 2 ^");
    EXPECT_TRUE(times->endOfSecArg()->is("x"));
    EXPECT_EQ(times->afterSecondArg(), nullptr);

    fStack::Owner single = listOf({"x", "sin"});
    EXPECT_EQ(single->last()->secondArg(), nullptr);
}

TEST(FunctionStack, FailedWalksNameTheWalk)
{
    fStack::Owner list = listOf({"x", "+"});
    struct Case {
        std::function<void()> call;
        const char* name;
    };
    fStack* plus = list->last();
    const Case cases[] = {
        {[&] { plus->copySecondArg(); }, "copySecondArgFailed"},
        {[&] { plus->endOfSecArg(); }, "endOfSecondArgNotFound"},
        {[&] { plus->afterSecondArg(); }, "afterSecondArgNotFound"},
        {[&] { plus->argNumberN(3); }, "argNumberN_notFound"},
        {[&] { list->first()->copyFirstArg(); }, "copyFirstArgFailed"},
        {[&] { list->first()->secondArg(); }, "SecondArgNotFound"},
    };
    for (const Case& c : cases) {
        try {
            c.call();
            ADD_FAILURE() << c.name << " did not fail";
        } catch (const Error& e) {
            EXPECT_EQ(e.name(), c.name);
            EXPECT_STREQ(e.what(), "Logical error!");
            EXPECT_TRUE(e.userInfo().count("function"));
        }
    }
}

TEST(FunctionStack, ArrayFormRoundTrips)
{
    fStack::Owner list = listOf({2.0, "x", "*"});
    Items items = list->toArray();
    EXPECT_EQ(items, (Items{2.0, "x", "*"}));
    fStack::Owner back = fStack::fromArray(items);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->toArray(), items);
    EXPECT_FALSE(fStack::fromArray({"x", "*"}));
    EXPECT_FALSE(fStack::fromArray({}));
}

TEST(FunctionStack, TextDump) { EXPECT_EQ(listOf({"x", 2.0, "^"})->toSTR(), "'x'  2.000000 '^' "); }

TEST(FunctionStack, CopiesAreDeepAndUnlinked)
{
    fStack::Owner list = listOf({"x", 1.5, "+"});
    fStack::Owner copy = list->copyAll();
    EXPECT_TRUE(copy->is("+"));
    EXPECT_EQ(copy->length(), 3);
    copy->first()->funcName = "y";
    EXPECT_TRUE(list->first()->is("x"));
    fStack::Owner one = list->last()->copy();
    EXPECT_EQ(one->length(), 1);
    EXPECT_EQ(one->stackEffect, -1);
}

TEST(FunctionStack, PrependingBuildsRules)
{
    // a b -, then prepend B, A and their derivatives: the vocabulary of rules.
    fStack::Owner q = listOf({"x", "y", "-"});
    fStack::Owner out = fStack::initWithName("*");
    out->addA(q->last());
    out->addB(q->last());
    EXPECT_EQ(names(out.get()), "y x *");
    fStack::Owner d = fStack::initWithName("+");
    d->addDA(q->last());
    d->addDB(q->last());
    EXPECT_EQ(names(d.get()), "0 1 +");
    EXPECT_EQ(d->first()->c, 0);
}

TEST(FunctionStack, PowerRewriteMovesTheExponent)
{
    fStack::Owner list = fStack::replacePower(listOf({2.0, "x", "sin", "^'"}));
    EXPECT_EQ(names(list.get()), "x sin 2 ^");
    fStack::Owner compound = fStack::replacePower(listOf({2.0, 1.0, "+", "x", "y", "*", "ln", "^'"}));
    EXPECT_EQ(names(compound.get()), "x y * ln 2 1 + ^");
    EXPECT_THROW(fStack::replacePower(listOf({"x", "^'"})), Error);
}

TEST(FunctionStack, LogarithmRewrite)
{
    EXPECT_EQ(names(fStack::replaceLogn(listOf({"x", 2.0, "logn"})).get()), "x ln 2 ln /");
    EXPECT_EQ(names(fStack::replaceLogn(listOf({"x", "y", "+", "t", "logn"})).get()), "x y + ln t ln /");
    EXPECT_THROW(fStack::replaceLogn(listOf({"x", "logn"})), Error);
}

TEST(FunctionStack, FreeingLongListsIsIterative)
{
    fStack::Owner list = fStack::initWithName("x");
    fStack* tail = list.get();
    for (int k = 0; k < 1'000'000; ++k)
        tail = tail->addFunc("sin");
    EXPECT_EQ(list->length(), 1'000'001);
    EXPECT_TRUE(list->isOK());
}

} // namespace
