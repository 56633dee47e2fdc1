#pragma once
// The exchange between our concentrator library and the (simulated) concentrator, as pure
// functions over bytes: framing, checking, resynchronising and the field codings. No I/O here.
//
// Frame: STX (0x02), L, body of L bytes, CRC-16/CCITT (big-endian) of L and the body.
// Body: request number (1 byte), command (1 byte), data (L-2 bytes, at most MaximoDados).
// An answer repeats the request number and carries the command with the high bit set, so a late
// answer to an earlier request is recognised and dropped.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Protocolo {

using TBytes = std::vector<std::uint8_t>;

constexpr std::uint8_t Inicio = 0x02;
constexpr std::size_t MaximoDados = 250;
constexpr std::uint8_t Resposta = 0x80;
// Most bytes the reader keeps while waiting for a frame to complete.
constexpr std::size_t MaximoAcumulado = 4096;

enum TComando : std::uint8_t {
    CmdLeAbastecimento = 'A', // data: key of the last fueling delivered (u32, 0 none); answer: u8 present + fueling
    CmdFecha = 'F',           // data: key of the last fueling delivered; answer: empty
    CmdConfirma = 'K',        // data: key of the fueling just delivered; answer: empty (the port stays open)
    CmdLeRegistro = 'R',      // data: i32 ID; answer: u8 present + fueling
    CmdLeStatus = 'S',        // answer: 48 status bytes
    CmdLeStStatus = 'T',      // answer: 100 nozzle-status characters
    CmdEncerrante = 'E',      // data: u8 kind, text nozzle; answer: text nozzle, real totalizer
    CmdAlteraPreco = 'P',     // data: text nozzle, real price, u8 mode; answer: u8 accepted
    CmdLePreco = 'L',         // data: text nozzle; answer: u8 known, real price
    CmdBloqueia = 'B',        // data: text nozzle; answer: u8 accepted
    CmdLibera = 'D',          // data: text nozzle; answer: u8 accepted
    CmdAcertaRelogio = 'C',   // data: text "dd/mm/yyyy hh:mm:ss"; answer: empty
};

struct TQuadro {
    std::uint8_t Numero = 0;
    std::uint8_t Comando = 0;
    TBytes Dados;
    bool operator==(const TQuadro&) const = default;
};

std::uint16_t CalculaCrc(const std::uint8_t* bytes, std::size_t tamanho);
// The frame's bytes; data beyond MaximoDados is cut.
TBytes MontaQuadro(const TQuadro& quadro);

// Collects bytes as they arrive and hands out whole frames whose check matches. Bytes that cannot
// begin a valid frame are dropped; a bad or truncated frame never hides a good one behind it.
class TLeitorQuadros {
public:
    void Acrescenta(const std::uint8_t* bytes, std::size_t tamanho);
    void Acrescenta(const TBytes& bytes) { Acrescenta(bytes.data(), bytes.size()); }
    std::optional<TQuadro> ExtraiQuadro();
    void Limpa() { FBuffer.clear(); }
    std::size_t Pendentes() const { return FBuffer.size(); }
    std::size_t Descartados() const { return FDescartados; }

private:
    TBytes FBuffer;
    std::size_t FDescartados = 0;
};

// Little-endian field coding of the frames' data.
class TEscritor {
public:
    TEscritor& Byte(std::uint8_t valor);
    TEscritor& Natural32(std::uint32_t valor);
    TEscritor& Inteiro32(std::int32_t valor);
    TEscritor& Inteiro64(std::int64_t valor);
    TEscritor& Real(double valor);
    // Length byte and at most 255 characters.
    TEscritor& Texto(const std::string& valor);
    TEscritor& Bruto(const std::uint8_t* bytes, std::size_t tamanho);
    const TBytes& Bytes() const { return FBytes; }

private:
    TBytes FBytes;
};

// Reading past the end leaves Ok() false and yields zeros and empty texts.
class TLeitor {
public:
    explicit TLeitor(const TBytes& bytes) : FBytes(bytes) {}
    std::uint8_t Byte();
    std::uint32_t Natural32();
    std::int32_t Inteiro32();
    std::int64_t Inteiro64();
    double Real();
    std::string Texto();
    bool Ok() const { return FOk; }
    bool Fim() const { return FPosicao == FBytes.size(); }

private:
    bool Reserva(std::size_t tamanho);
    const TBytes& FBytes;
    std::size_t FPosicao = 0;
    bool FOk = true;
};

// One fueling as the device keeps and sends it. Chave is the device's own delivery number,
// unique for the device's life; it is what a read acknowledges.
struct TDadosAbastecimento {
    std::uint32_t Chave = 0;
    std::int32_t Id = 0;
    std::string Bico;
    double Litragem = 0;
    std::int64_t ValorTotal = 0; // 1/10000
    std::int64_t PrecoUnit = 0;  // 1/10000
    std::string Data;
    std::string Hora;
    double EncerranteFinal = 0;
    std::string CodFid;
    bool operator==(const TDadosAbastecimento&) const = default;
};

void CodificaAbastecimento(TEscritor& escritor, const TDadosAbastecimento& dados);
std::optional<TDadosAbastecimento> DecodificaAbastecimento(TLeitor& leitor);

// The library's records, byte for byte: plain 144 bytes, tag 176 bytes. Every byte is written.
constexpr std::size_t TamanhoRegistroPlano = 144;
constexpr std::size_t TamanhoRegistroFid = 176;
constexpr std::size_t TamanhoRegistroEncerrante = 16;
void PreencheRegistroPlano(std::uint8_t* registro, const TDadosAbastecimento& dados);
void PreencheRegistroFid(std::uint8_t* registro, const TDadosAbastecimento& dados);
void PreencheRegistroEncerrante(std::uint8_t* registro, const std::string& bico, double valor);

// Money in 1/10000 from a decimal value, rounded half away from zero.
std::int64_t ConverteDinheiro(double valor);

} // namespace Protocolo
