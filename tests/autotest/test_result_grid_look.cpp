// The result grid draws its cells itself, each distinct text laid out once: they must look
// exactly as the view's style draws them (background, selection, a failed row's red, the focus
// frame, a text wrapped and cut where it does not fit).
#include "autotest/result_grid_view.h"
#include "autotest/result_table.h"

#include <QHeaderView>
#include <QImage>
#include <QStyledItemDelegate>
#include <gtest/gtest.h>

TEST(ResultGridLook, CellsLookAsTheStyleDrawsThem)
{
    ResultTable results;
    results.SetRow(1, {" 1", "UAC", "225.000", "230.000", "235.000", ""});
    results.SetRow(2, {" 2", "a comment far too long for its column, cut with an ellipsis", "4.500",
                       "4.900", "4.700", "Error!"});
    results.SetRow(3, {" 3", "I µA", "", "no reply", "", "Error!"});
    results.SetRow(4, {" 4", "selected", "1", "2", "3", ""});
    for (int pass = 0; pass < 2; ++pass) { // the texts as laid out anew and as kept
        ResultGridView view(results);
        view.verticalHeader()->hide();
        view.setColumnWidth(1, 120);
        view.resize(640, 200);
        view.show();
        view.TableChanged(-1);
        view.setFocus();
        view.selectRow(3);
        view.setCurrentIndex(view.model()->index(3, 2));
        if (pass == 1)
            view.grab(); // every text laid out once already
        const QImage own = view.grab().toImage();
        view.setItemDelegate(new QStyledItemDelegate(&view));
        const QImage styled = view.grab().toImage();
        ASSERT_EQ(own.size(), styled.size());
        int differing = 0;
        for (int y = 0; y < own.height(); ++y)
            for (int x = 0; x < own.width(); ++x)
                differing += own.pixel(x, y) != styled.pixel(x, y);
        EXPECT_EQ(differing, 0) << "pass " << pass;
    }
}
