// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/nowhere_environment.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

// main() of the power-off tests: the event loop that answers arrive through, and
// buses that lead nowhere until a test sets up its private one.
int main(int argc, char **argv)
{
    const sorabune::testing::NowhereEnvironment nowhere;
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
