#include "app/Settings.h"
#include "app/Translator.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/TestApp.h"

#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <new>

TEST(ApplicationGuard, WhatASlotThrowsIsShownAndTheProgramGoesOn)
{
    App();
    ScopedTranslator translator;
    ScriptedPresenter boxes;

    // A mistyped setting name in a slot, a slot that runs out of memory, and
    // then one that works: events go on being dispatched after both.
    int ticks = 0;
    QTimer::singleShot(0, [] { (void)Settings().ItemIndex("Mdoe"); });
    QTimer::singleShot(1, [] { throw std::bad_alloc(); });
    QTimer::singleShot(2, [&] { ++ticks; });
    QTRY_COMPARE_WITH_TIMEOUT(ticks, 1, 2000);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].kind, MessageKind::Error);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(Tr("Universal", "bladProgramu") + "\n"));
    EXPECT_TRUE(boxes.shown[0].text.contains("Mdoe")) << boxes.shown[0].text.toStdString();
    EXPECT_EQ(boxes.shown[1].kind, MessageKind::Error);
    EXPECT_EQ(boxes.shown[1].text, Tr("Universal", "brakPamieci"));
}
