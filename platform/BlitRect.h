#pragma once
// The part of a blit that lands inside both the source and the target,
// worked out in 64 bits so that no coordinate, however far out, overflows.
// The bounds are offsets from the requested corner: columns [left, right)
// and rows [top, bottom) of the width x height request.
struct BlitRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool Empty() const { return right <= left || bottom <= top; }
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }

    static BlitRect Of(int x, int y, int width, int height, int sourceX, int sourceY, int sourceWidth,
                       int sourceHeight, int targetWidth, int targetHeight);
};
