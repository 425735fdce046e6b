// tvkbuild: compiles a book file from its JSON description (see TvkJsonSource.h).
//   tvkbuild SOURCE.json OUTPUT.tvk

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tools/tvkbuild/TvkJsonSource.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: tvkbuild SOURCE.json OUTPUT.tvk\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "tvkbuild: cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string source = argv[1];
    const size_t slash = source.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : source.substr(0, slash);
    cTvkBookBuilder builder;
    std::string error;
    if (!tvkBuilderFromJson(text.str(), folder, builder, error) || !builder.writeFile(argv[2], &error)) {
        std::fprintf(stderr, "tvkbuild: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
