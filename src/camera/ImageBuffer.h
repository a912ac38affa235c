#pragma once

#include <cstdint>
#include <memory>

class DriverLog;

// Owned image memory with the geometry of the camera it was made for. A line
// is width bytes long for a monochrome camera and 3 × width for a colour one;
// lines follow each other without gaps.
class ImageBuffer {
  public:
    // A buffer of size bytes for an image of width × height pixels, or none
    // when size is below width × height or cannot be allocated.
    static std::unique_ptr<ImageBuffer> Create(int width, int height, bool color, int size,
                                               DriverLog& log);

    ImageBuffer(int width, int height, bool color, DriverLog& log);
    ImageBuffer(const ImageBuffer&) = delete;
    ImageBuffer& operator=(const ImageBuffer&) = delete;

    // Holds size bytes, every one set to 200.
    bool Allocate(int size);
    // The first byte of a line, or none for a line outside the image.
    std::uint8_t* GetLine(int line);
    const std::uint8_t* GetLine(int line) const;

    int Size() const { return size; }
    int Width() const { return width; }
    int Height() const { return height; }
    bool IsColor() const { return color; }
    std::uint8_t* Data() { return data.get(); }
    const std::uint8_t* Data() const { return data.get(); }

  private:
    int size = 0;
    int width;
    int height;
    bool color;
    std::unique_ptr<std::uint8_t[]> data;
    DriverLog& log;
};
