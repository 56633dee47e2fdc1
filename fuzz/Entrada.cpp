// libFuzzer's entry for the target named by LINKOR_ALVO_FUZZ; a broken promise ends the run as a crash.
#include "Alvos.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {
const TAlvoFuzz& Alvo()
{
    static const TAlvoFuzz* alvo = ProcuraAlvo(LINKOR_ALVO_FUZZ);
    if (!alvo) {
        std::fprintf(stderr, "alvo %s fora de ListaAlvos()\n", LINKOR_ALVO_FUZZ);
        std::abort();
    }
    return *alvo;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dados, std::size_t tamanho)
{
    try {
        Alvo().Testa(dados, tamanho);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "falha no alvo %s: %s\n", LINKOR_ALVO_FUZZ, e.what());
        std::abort();
    }
    return 0;
}
