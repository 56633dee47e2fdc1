#pragma once
// The entries of the CompanyTec concentrator library as the driver calls them, and the calling
// convention they use. Plain C++ on purpose: the stand-in library includes it too, so both sides
// of the binding are checked against the same types.
#include <cstdint>

// 32-bit Windows builds of the library use stdcall; everywhere else the platform's own C convention.
#if defined(_WIN32) && !defined(_WIN64)
#define COMPANYTEC_CHAMADA __stdcall
#else
#define COMPANYTEC_CHAMADA
#endif

#if defined(_WIN32)
#define COMPANYTEC_EXPORTA __declspec(dllexport)
#else
#define COMPANYTEC_EXPORTA __attribute__((visibility("default")))
#endif

// Byte arguments travel in a 32-bit slot; only the low 8 bits count. Every entry returns a 32-bit
// value; only the low byte of InicializaSerial's means anything (non-zero: port open).
// LeAbastecimento, LeAbastecimentoFid and LeRegistro return 1 with a fueling, 0 when the
// concentrator answered that it has none, and a negative value when it did not answer (no reply,
// or none that could be read): "nothing there" and "nobody there" must not look alike.
extern "C" {
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaFechaSerial)();
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaInicializaSerial)(std::int32_t Porta);
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaSetClock)(const char* Modo);
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaLeStatus)(std::uint8_t* Status48);
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaLeStStatus)(char* Texto101);
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaLeAbastecimento)(void* Registro144);
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaLeAbastecimentoFid)(void* Registro176);
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaLeRegistro)(void* Registro144, std::int32_t Id);
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaConsultaEncerrante)(void* Registro16, std::int32_t Tipo,
                                                                     const char* Bico);
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaRefAltPreco)(const char* Bico, double Preco, std::int32_t Modo,
                                                              std::uint8_t* Retorno);
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaRefLePPL)(const char* Bico, const char** Texto);
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaBloqueiaBico)(const char* Bico);
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaAutoLibera)(const char* Bico);
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaLeVisualizacao)(void* Registro256);
// Optional, our library's own: closes the port without acknowledging the last fueling delivered,
// which the device then delivers again. Looked up by name; a library without it still loads.
// Under the vendor's contract (our library with COMPANYTEC_CONFIRMA_NA_ENTREGA=1) a read has
// already taken the fueling off the device, so this close keeps nothing.
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaFechaSerialSemConfirmar)();
// Looked up but never called by the program.
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaAlteraPreco)(const char* Bico, double Preco);
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaPreset)(const char* Bico, double Valor);
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaLePPL)(const char* Bico, char* Texto);
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaLeStringAb)(char* Texto);
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaWriteSerial)(const char* Texto);
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaRefEncerrante)(const char* Bico, double* Valor);
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaIncrementa)();
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaCobLeSTEncerrante)(char* Texto);
typedef std::int32_t(COMPANYTEC_CHAMADA* TEntradaLeAbFix)(void* Registro144);
}

// Size of the display record LeVisualizacao fills.
constexpr int TamanhoVisualizacao = 256;
