#pragma once

// Only for libraries that have libsndfile's headers (each loads the library in its own way):
// this is libsndfile's virtual I/O and needs none of its functions.

#include <sndfile.h>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace lessora {

// An open file descriptor that libsndfile writes through (sf_open_virtual with io() and a
// pointer to this), every write checked. The first failed write or seek is kept, and later
// writes fail too, so that an encoder that ignores a short write still cannot leave a cut file
// that passes for complete.
struct SndFileDescriptor {
    int fd = -1;
    int error = 0; // errno of the first failed write or seek

    static SF_VIRTUAL_IO* io() {
        static SF_VIRTUAL_IO callbacks{&length, &seek, &read, &write, &tell};
        return &callbacks;
    }

    static SndFileDescriptor& of(void* data) { return *static_cast<SndFileDescriptor*>(data); }
    static sf_count_t length(void* data) {
        struct stat status {};
        return ::fstat(of(data).fd, &status) == 0 ? sf_count_t(status.st_size) : -1;
    }
    static sf_count_t seek(sf_count_t offset, int whence, void* data) {
        SndFileDescriptor& file = of(data);
        const off_t position = ::lseek(file.fd, off_t(offset), whence);
        if (position < 0 && !file.error)
            file.error = errno;
        return sf_count_t(position);
    }
    static sf_count_t read(void* buffer, sf_count_t count, void* data) {
        for (;;) {
            const ssize_t n = ::read(of(data).fd, buffer, size_t(count));
            if (n >= 0 || errno != EINTR)
                return n < 0 ? 0 : sf_count_t(n);
        }
    }
    static sf_count_t write(const void* buffer, sf_count_t count, void* data) {
        SndFileDescriptor& file = of(data);
        const char* bytes = static_cast<const char*>(buffer);
        sf_count_t done = 0;
        while (!file.error && done < count) {
            const ssize_t n = ::write(file.fd, bytes + done, size_t(count - done));
            if (n > 0)
                done += n;
            else if (n == 0)
                file.error = ENOSPC;
            else if (errno != EINTR)
                file.error = errno;
        }
        return done;
    }
    static sf_count_t tell(void* data) { return sf_count_t(::lseek(of(data).fd, 0, SEEK_CUR)); }
};

} // namespace lessora
