#pragma once
// Fuzz targets: each takes any bytes, drives one piece of our code with them and throws EFalhaAlvo
// when that code breaks one of its promises. Crashes, hangs and undefined behaviour are left to the
// sanitizers (libFuzzer build, scripts/fuzz) or show up in teste_fuzz (normal build, fixed seed).
//
// To add a target "nome":
//  1. AlvoNome.cpp defining TestaNome (the check) and ExemplosNome (a few well-formed inputs the
//     seeded run and the first fuzzing corpus start from), declared below;
//  2. one line for it in ListaAlvos() (Alvos.cpp);
//  3. linkor_alvo_fuzz(nome FONTES AlvoNome.cpp LIBS ...) in fuzz/CMakeLists.txt.
// teste_fuzz and scripts/fuzz then run it with the others.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

using TEntradaFuzz = std::vector<std::uint8_t>;

struct TAlvoFuzz {
    const char* Nome;
    void (*Testa)(const std::uint8_t* dados, std::size_t tamanho);
    std::vector<TEntradaFuzz> (*Exemplos)();
};

class EFalhaAlvo : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A promise the code under test must keep for every input.
inline void Exige(bool cumprida, const char* promessa)
{
    if (!cumprida)
        throw EFalhaAlvo(promessa);
}

const std::vector<TAlvoFuzz>& ListaAlvos();
const TAlvoFuzz* ProcuraAlvo(std::string_view nome);

// Frames from any byte stream, whole and in pieces, and what the library does with their data.
void TestaQuadros(const std::uint8_t* dados, std::size_t tamanho);
std::vector<TEntradaFuzz> ExemplosQuadros();

// Any file contents read as an INI file, looked up by the names it holds.
void TestaIni(const std::uint8_t* dados, std::size_t tamanho);
std::vector<TEntradaFuzz> ExemplosIni();

// The simulated concentrator driven by any mix of requests, control commands and automatic fuelings.
void TestaDispositivo(const std::uint8_t* dados, std::size_t tamanho);
std::vector<TEntradaFuzz> ExemplosDispositivo();

// Any bytes as a fueling record (first byte: plain or tag layout) through decoding and storing on an
// embedded station database.
void TestaRegistros(const std::uint8_t* dados, std::size_t tamanho);
std::vector<TEntradaFuzz> ExemplosRegistros();
