// fuzz-exemplos PASTA: writes every target's examples into PASTA/<target>/, the corpus libFuzzer
// starts from, and prints the targets' names, one a line.
#include "Alvos.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "uso: fuzz-exemplos PASTA\n");
        return 2;
    }
    for (const TAlvoFuzz& alvo : ListaAlvos()) {
        const std::filesystem::path pasta = std::filesystem::path(argv[1]) / alvo.Nome;
        std::filesystem::create_directories(pasta);
        int numero = 0;
        for (const TEntradaFuzz& exemplo : alvo.Exemplos()) {
            std::ofstream arquivo(pasta / ("exemplo-" + std::to_string(++numero)), std::ios::binary);
            arquivo.write(reinterpret_cast<const char*>(exemplo.data()), static_cast<std::streamsize>(exemplo.size()));
        }
        std::printf("%s\n", alvo.Nome);
    }
    return 0;
}
