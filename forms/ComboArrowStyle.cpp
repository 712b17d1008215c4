#include "ComboArrowStyle.h"

QRect ComboArrowStyle::subControlRect(ComplexControl control, const QStyleOptionComplex *option,
                                      SubControl part, const QWidget *widget) const
{
    QRect rect = QProxyStyle::subControlRect(control, option, part, widget);
    if (control != CC_ComboBox)
        return rect;
    // Both rectangles move together: the arrow's hit area, its drawing and
    // the edit field's right edge all come from here.
    const QRect arrow = QProxyStyle::subControlRect(control, option, SC_ComboBoxArrow, widget);
    const int arrowLeft = arrow.right() - ArrowWidth + 1;
    if (part == SC_ComboBoxArrow && arrow.width() > ArrowWidth)
        rect.setLeft(arrowLeft);
    else if (part == SC_ComboBoxEditField && arrow.width() > ArrowWidth)
        rect.setRight(arrowLeft - 1);
    return rect;
}
