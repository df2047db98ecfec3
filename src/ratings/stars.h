// Stars: how a rating of 0 to 10 (two per star, the scale MPD clients share) is drawn and where
// a click on the drawing rates. Plain functions; GUI thread.
#ifndef STARS_H
#define STARS_H

#include <QRect>

class QPainter;
class QPalette;

namespace Stars {

constexpr int Count = 5;
constexpr int MaxRating = 2 * Count;

// Five stars from the left of `rect`, filled up to the rating; an odd rating fills half a star.
void paint(QPainter &painter, const QRect &rect, int rating, const QPalette &palette);
// The rating a click at x (inside `rect`) gives: the stars up to the one clicked.
int ratingAt(const QRect &rect, int x);
int width(const QRect &rect);

}  // namespace Stars

#endif
