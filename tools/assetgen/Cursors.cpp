#include "Cursors.h"

namespace assetgen {

namespace {

// Drawn pixel by pixel: at this size a hand only reads well when every outline
// pixel is placed by hand. XPM keeps the drawing legible in the source, and Qt
// reads it directly.
const char* const kOpenHand[] = {"32 32 3 1",
                                 ". c None",
                                 "X c #000000",
                                 "o c #FFFFFF",
                                 "............XXX.................",
                                 "...........XXoXX..XXX...........",
                                 "......XXX..XoooX.XXoXX..........",
                                 "......XoXXXXoooX.XoooX..........",
                                 "......XoooXXoooX.XoooX.XXX......",
                                 "......XoooXXoooX.XoooXXXoXX.....",
                                 "......XoooXXoooXXXoooXXoooX.....",
                                 "......XXoooXXoooXoooXXXoooX.....",
                                 ".......XoooXXoooXoooXXoooXX.....",
                                 ".......XoooXXoooXoooXXoooX......",
                                 "....XXXXXoooXoooXoooXoooXX......",
                                 "...XXoooooooooooooooooooX.......",
                                 "...XooooooooooooooooooooX.......",
                                 "...XooooooooooooooooooooX.......",
                                 "...XXoooooooooooooooooooX.......",
                                 "....XXooooooooooooooooooX.......",
                                 ".....XXoooooooooooooooooX.......",
                                 "......XXooooooooooooooooX.......",
                                 ".......XXoooooooooooooooX.......",
                                 "........XXoooooooooooooXX.......",
                                 ".........XXXXXXXXXXXXXXX........",
                                 "..........XoooooooooooX.........",
                                 "..........XoooooooooooX.........",
                                 "..........XoooooooooooX.........",
                                 "..........XoooooooooooX.........",
                                 "..........XoooooooooooX.........",
                                 "..........XoooooooooooX.........",
                                 "..........XXXXXXXXXXXXX.........",
                                 "................................",
                                 "................................",
                                 "................................",
                                 "................................"};

const char* const kClosedHand[] = {"32 32 3 1",
                                   ". c None",
                                   "X c #000000",
                                   "o c #FFFFFF",
                                   "................................",
                                   "................................",
                                   "................................",
                                   "................................",
                                   "................................",
                                   "................................",
                                   "................................",
                                   "............XXX.XXX.............",
                                   "........XXXXXoXXXoXXXXX.........",
                                   ".......XXoXXoooXoooXXoXX........",
                                   ".......XoooXoooXoooXoooX........",
                                   ".......XoooXoooXoooXoooX........",
                                   "......XXoooXoooXoooXoooXX.......",
                                   "......XooooXoooXoooXooooX.......",
                                   "....XXXXXXXXXooXoooXooooX.......",
                                   "...XXoooooooXXXoXXXoXXXoX.......",
                                   "...XoooooooooXooooooooooX.......",
                                   "...XoooooooooXooooooooooX.......",
                                   "...XXoooooooXoooooooooooX.......",
                                   "....XXXXXXXXooooooooooooX.......",
                                   "......XoooooooooooooooooX.......",
                                   "......XoooooooooooooooooX.......",
                                   "......XoooooooooooooooooX.......",
                                   "......XXoooooooooooooooXX.......",
                                   ".......XXXXXXXXXXXXXXXXX........",
                                   ".........XoooooooooooX..........",
                                   ".........XoooooooooooX..........",
                                   ".........XoooooooooooX..........",
                                   ".........XoooooooooooX..........",
                                   ".........XXXXXXXXXXXXX..........",
                                   "................................",
                                   "................................"};

} // namespace

QImage openHandCursor()
{
    return QImage(kOpenHand).convertToFormat(QImage::Format_ARGB32);
}

QImage closedHandCursor()
{
    return QImage(kClosedHand).convertToFormat(QImage::Format_ARGB32);
}

} // namespace assetgen
