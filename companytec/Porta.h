#pragma once
// The serial link of the library: opens the port raw, and runs one request/answer exchange with a
// bounded wait. Only moves bytes; framing lives in Protocolo.
#include "Protocolo.h"

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

    // Sends the request and waits at most `milissegundos` for its own answer. Answers to other
    // requests, garbage and broken frames are dropped. Nothing when no valid answer came in time.
    std::optional<Protocolo::TQuadro> Troca(std::uint8_t comando, const Protocolo::TBytes& dados, int milissegundos);

private:
    bool AbreDispositivo();
    void FechaDispositivo();
    void DescartaEntrada();
    bool EscreveTudo(const Protocolo::TBytes& bytes, long long limite);

    std::string FCaminho;
    int FDescritor = -1;
    std::uint8_t FNumero = 0;
    unsigned FAberturas = 0;
    Protocolo::TLeitorQuadros FLeitor;
};
