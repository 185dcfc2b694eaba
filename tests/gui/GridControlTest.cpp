#include "platform/GridControl.h"

#include <gtest/gtest.h>

using namespace valmora;

TEST(GridControl, LeavingACellIsToldWhileItIsStillCurrent) {
    GridControl grid;
    grid.setFormatString(QStringLiteral("A|B"));
    grid.setRows(4);
    std::vector<std::pair<int, int>> left;
    std::vector<std::pair<int, int>> entered;
    QObject::connect(&grid, &GridControl::leaveCell, [&] { left.emplace_back(grid.row(), grid.col()); });
    QObject::connect(&grid, &GridControl::rowColChanged,
                     [&] { entered.emplace_back(grid.row(), grid.col()); });
    grid.setCurrentCell(1, 1);
    grid.setCurrentCell(3, 0);
    grid.setCurrentCell(3, 0);
    EXPECT_EQ(left, (std::vector<std::pair<int, int>>{{1, 1}}));
    EXPECT_EQ(entered, (std::vector<std::pair<int, int>>{{1, 1}, {3, 0}}));
}

TEST(GridControl, SuspendedRedrawTellsTheViewOnceWhenResumed) {
    GridControl grid;
    grid.setFormatString(QStringLiteral("A|B"));
    grid.setRows(101);
    int changes = 0;
    QObject::connect(grid.model(), &QAbstractItemModel::dataChanged, [&] { ++changes; });
    grid.setRedraw(false);
    for (int r = 1; r <= 100; ++r)
        grid.setTextMatrix(r, 1, QString::number(r));
    EXPECT_EQ(changes, 0);
    grid.setRedraw(true);
    EXPECT_EQ(changes, 1);
    grid.setTextMatrix(5, 0, QStringLiteral("x"));
    EXPECT_EQ(changes, 2);
    grid.setTextMatrix(5, 0, QStringLiteral("x")); // unchanged text, no repaint
    EXPECT_EQ(changes, 2);
}
