#pragma once

#include <QImage>

struct wl_buffer;
struct wl_shm;

// One picture in memory shared with the compositor: a wl_buffer and a QImage over the same
// pixels, so QPainter draws straight into what the compositor shows. The compositor says when
// it has let go of the pixels (busy until then).
class ShmBuffer {
public:
    // Null (isNull) where the memory could not be had.
    ShmBuffer(wl_shm* shm, QSize size);
    ~ShmBuffer();
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;

    bool isNull() const { return !m_buffer; }
    QSize size() const { return m_image.size(); }
    QImage& image() { return m_image; }
    wl_buffer* buffer() const { return m_buffer; }
    bool isBusy() const { return m_busy; }
    // Handed to the compositor with the next commit.
    void attached() { m_busy = true; }

private:
    static void released(void* data, wl_buffer*);

    wl_buffer* m_buffer = nullptr;
    void* m_memory = nullptr;
    size_t m_bytes = 0;
    QImage m_image;
    bool m_busy = false;
};
