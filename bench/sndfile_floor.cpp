// libsndfile's floor: a whole file read into one float array, in a process of its own.
//   sndfile_floor FILE
#include <sndfile.h>

#include <stdio.h>

#include <vector>

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: sndfile_floor FILE\n");
        return 1;
    }
    SF_INFO info = {};
    SNDFILE *file = sf_open(argv[1], SFM_READ, &info);
    if (!file) {
        fprintf(stderr, "sndfile_floor: %s\n", sf_strerror(nullptr));
        return 1;
    }
    std::vector<float> samples((size_t)info.frames * info.channels);
    sf_count_t read = sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    double sum = 0;
    for (size_t i = 0; i < samples.size(); i += 4096)
        sum += samples[i];
    printf("%lld frames (%g)\n", (long long)read, sum);
    return read == info.frames ? 0 : 1;
}
