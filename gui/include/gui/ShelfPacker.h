#pragma once
// Row-by-row placement of images in a fixed-size atlas page with a one-pixel gutter on every
// side of each image, so linear filtering never blends in a neighbour.

class ShelfPacker {
public:
    explicit ShelfPacker(int pageWidth = 1024, int pageHeight = 1024)
        : pageWidth_(pageWidth), pageHeight_(pageHeight) {}

    // Finds the spot of the next width x height image. On success the packer advances and
    // (outX, outY) is where the image's first pixel goes; false when the page is full, in which
    // case nothing changes.
    bool place(int width, int height, int* outX, int* outY);

    bool empty() const { return empty_; }
    int pageWidth() const { return pageWidth_; }
    int pageHeight() const { return pageHeight_; }

private:
    int pageWidth_;
    int pageHeight_;
    int rowHeight_ = 0;
    int nextX_ = 0;
    int rowY_ = 0;
    bool empty_ = true;
};
