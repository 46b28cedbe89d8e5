#include "overlay/ShmBuffer.h"

#include "overlay/WaylandProtocols.h"

#include <sys/mman.h>
#include <unistd.h>

ShmBuffer::ShmBuffer(wl_shm* shm, QSize size)
{
    const int stride = size.width() * 4;
    m_bytes = size_t(stride) * size_t(size.height());
    if (m_bytes == 0)
        return;
    const int fd = memfd_create("bonkbell-overlay", MFD_CLOEXEC);
    if (fd < 0)
        return;
    if (ftruncate(fd, off_t(m_bytes)) == 0)
        m_memory = mmap(nullptr, m_bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (m_memory == MAP_FAILED || !m_memory) {
        m_memory = nullptr;
        close(fd);
        return;
    }
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int32_t(m_bytes));
    // Premultiplied ARGB, as QImage keeps it on a little-endian machine.
    m_buffer = wl_shm_pool_create_buffer(pool, 0, size.width(), size.height(), stride, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    static constexpr wl_buffer_listener listener{released};
    wl_buffer_add_listener(m_buffer, &listener, this);
    m_image = QImage(
        static_cast<uchar*>(m_memory), size.width(), size.height(), stride, QImage::Format_ARGB32_Premultiplied);
}

ShmBuffer::~ShmBuffer()
{
    if (m_buffer)
        wl_buffer_destroy(m_buffer);
    if (m_memory)
        munmap(m_memory, m_bytes);
}

void ShmBuffer::released(void* data, wl_buffer*)
{
    static_cast<ShmBuffer*>(data)->m_busy = false;
}
