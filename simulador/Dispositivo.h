#pragma once
// The simulated concentrator's state and behaviour: answers the library's requests and the control
// commands. No I/O here; the main loop moves the bytes.
#include "Protocolo.h"

#include <array>
#include <ctime>
#include <deque>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

enum class TModoFalha { Normal, Silencio, Lixo, Lento };

struct TBicoSimulado {
    int Codigo = 0;
    double Preco = 0;
    double Encerrante = 0;
    bool Bloqueado = false;
};

struct TRespostaControle {
    bool Ok = true;
    std::string Texto;
};

class TDispositivo {
public:
    explicit TDispositivo(const std::vector<int>& bicos);

    // The answer to one request of the library; nothing for a request the device does not know.
    std::optional<Protocolo::TQuadro> AtendePedido(const Protocolo::TQuadro& pedido);
    // One control command: the command word, then key=value arguments.
    TRespostaControle ExecutaComando(const std::vector<std::string>& palavras);
    // Queues a random plausible fueling on a random unblocked nozzle (none when all are blocked).
    void AbastecimentoAutomatico(std::mt19937& gerador);

    TModoFalha ModoFalha() const { return FModo; }
    // In the slow mode: how long the device takes before it answers, and the line's speed in baud
    // (0: the answer goes out at once, whole).
    int AtrasoMs() const { return FAtrasoMs; }
    int Baud() const { return FBaud; }

    // Parses "HH" (two hexadecimal digits); -1 when it is not one.
    static int LeCodigoHexa(const std::string& texto);
    static std::string CodigoHexa(int codigo);
    // Status byte index of a nozzle code: codes p+3, p+67, p+131, p+195 share position p.
    static int IndiceStatus(int codigo) { return ((codigo - 4) % 64 + 64) % 64; }

private:
    TBicoSimulado* ProcuraBico(const std::string& hexa);
    void AtualizaStatusBloqueio(int indice);
    std::time_t Relogio() const;
    std::int32_t ProximoId();
    void Enfileira(Protocolo::TDadosAbastecimento dados);

    TRespostaControle Abastece(const std::map<std::string, std::string>& argumentos);
    TRespostaControle DefineStatus(const std::vector<std::string>& palavras);
    TRespostaControle DefineEncerrante(const std::map<std::string, std::string>& argumentos);
    TRespostaControle DefineBico(const std::map<std::string, std::string>& argumentos);
    TRespostaControle DefineFalha(const std::map<std::string, std::string>& argumentos);
    TRespostaControle DescreveEstado() const;

    std::vector<TBicoSimulado> FBicos;
    std::array<std::uint8_t, 48> FStatus{};
    // The status byte a position had before one of its nozzles was blocked.
    std::map<int, std::uint8_t> FStatusAntesBloqueio;
    std::map<std::string, double> FEncerrantesDefinidos;
    std::deque<Protocolo::TDadosAbastecimento> FPendentes;
    std::map<std::int32_t, Protocolo::TDadosAbastecimento> FHistorico;
    std::uint32_t FUltimaChave = 0;
    std::int32_t FProximoId = 1;
    std::time_t FDesvioRelogio = 0;
    int FRelogioAcertado = 0;
    TModoFalha FModo = TModoFalha::Normal;
    // Past the longest the library ever waits (5 s): by default a slow device is as good as silent.
    int FAtrasoMs = 6000;
    int FBaud = 0;
    // Nozzles ("44") whose totalizer and price requests get no answer.
    std::set<std::string> FMudos;
};

// Number with "." as decimal point; nothing when the text is not one.
std::optional<double> LeDecimal(const std::string& texto);
std::string TextoDecimal(double valor);
