#pragma once
// The serial link of the library: opens the port raw, and runs one request/answer exchange with a
// bounded wait. Only moves bytes; framing lives in Protocolo.
#include "Protocolo.h"

#include <array>
#include <optional>
#include <string>

class TPorta {
public:
    TPorta() = default;
    ~TPorta() { Fecha(); }
    TPorta(const TPorta&) = delete;
    TPorta& operator=(const TPorta&) = delete;

    // The device of port n: COMPANYTEC_PORTA<n> when set, else /dev/ttyS<n-1>. Empty for port 0.
    static std::string CaminhoDaPorta(int numero);

    bool Abre(const std::string& caminho);
    void Fecha();
    // Whether a port was chosen (it may be closed after a failure and reopened on the next request).
    bool Escolhida() const { return !FCaminho.empty(); }
    // Opens the chosen device again when a failure closed it; false when it is not there.
    bool Prepara() { return FDescritor >= 0 || AbreDispositivo(); }
    // Counts the openings of the device: what was said over one opening may mean nothing to the
    // device found at the next (a concentrator restarted behind the same path).
    unsigned Aberturas() const { return FAberturas; }

    // Sends the request and waits for its own answer: at least `milissegundos`, longer once the line
    // has shown it answers later (an answer to the last unanswered request that came late, measured,
    // up to kEsperaMaximaMs), and on while an answer's bytes keep coming. Answers to other requests,
    // garbage and broken frames are dropped. Nothing when no valid answer came in time.
    std::optional<Protocolo::TQuadro> Troca(std::uint8_t comando, const Protocolo::TBytes& dados, int milissegundos);
    // The longest a slow line may teach the library to wait for an answer to begin.
    static constexpr int kEsperaMaximaMs = 5000;
    // The wait the line has taught so far (0: none beyond the caller's).
    int EsperaAprendida() const { return FEsperaAprendida; }

private:
    bool AbreDispositivo();
    void FechaDispositivo();
    void DescartaEntrada();
    bool EscreveTudo(const Protocolo::TBytes& bytes, long long limite);

    // A frame answering the last unanswered request: how late it came tells how long to wait.
    void Aprende(const Protocolo::TQuadro& quadro, long long agora);

    std::array<long long, 256> FEnviados{}; // when each request number was last sent
    std::optional<std::uint8_t> FSemResposta; // the last request, when it went unanswered
    int FEsperaAprendida = 0;
    std::string FCaminho;
    int FDescritor = -1;
    std::uint8_t FNumero = 0;
    unsigned FAberturas = 0;
    Protocolo::TLeitorQuadros FLeitor;
};
