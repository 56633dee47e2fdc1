#include "Protocolo.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Protocolo {

std::uint16_t CalculaCrc(const std::uint8_t* bytes, std::size_t tamanho)
{
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < tamanho; ++i) {
        crc ^= static_cast<std::uint16_t>(bytes[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

TBytes MontaQuadro(const TQuadro& quadro)
{
    const std::size_t dados = std::min(quadro.Dados.size(), MaximoDados);
    TBytes bytes;
    bytes.reserve(dados + 6);
    bytes.push_back(Inicio);
    bytes.push_back(static_cast<std::uint8_t>(dados + 2));
    bytes.push_back(quadro.Numero);
    bytes.push_back(quadro.Comando);
    bytes.insert(bytes.end(), quadro.Dados.begin(), quadro.Dados.begin() + static_cast<std::ptrdiff_t>(dados));
    const std::uint16_t crc = CalculaCrc(bytes.data() + 1, bytes.size() - 1);
    bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    bytes.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    return bytes;
}

void TLeitorQuadros::Acrescenta(const std::uint8_t* bytes, std::size_t tamanho)
{
    FBuffer.insert(FBuffer.end(), bytes, bytes + tamanho);
    if (FBuffer.size() > MaximoAcumulado) {
        const std::size_t excesso = FBuffer.size() - MaximoAcumulado;
        FBuffer.erase(FBuffer.begin(), FBuffer.begin() + static_cast<std::ptrdiff_t>(excesso));
        FDescartados += excesso;
    }
}

namespace {
enum class TCandidato { Valido, Invalido, Incompleto };

TCandidato AvaliaCandidato(const TBytes& buffer, std::size_t inicio)
{
    if (buffer.size() - inicio < 2)
        return TCandidato::Incompleto;
    const std::size_t corpo = buffer[inicio + 1];
    if (corpo < 2 || corpo > MaximoDados + 2)
        return TCandidato::Invalido;
    const std::size_t total = 2 + corpo + 2;
    if (buffer.size() - inicio < total)
        return TCandidato::Incompleto;
    const std::uint16_t esperado = CalculaCrc(buffer.data() + inicio + 1, corpo + 1);
    const std::uint16_t recebido =
        static_cast<std::uint16_t>(buffer[inicio + 2 + corpo] << 8 | buffer[inicio + 3 + corpo]);
    return esperado == recebido ? TCandidato::Valido : TCandidato::Invalido;
}
} // namespace

std::optional<TQuadro> TLeitorQuadros::ExtraiQuadro()
{
    // Every start byte is a candidate. A complete candidate that checks wins even when an earlier
    // one is still waiting for bytes (that one was garbage that happened to hold a start byte).
    std::optional<std::size_t> primeiroIncompleto;
    for (std::size_t i = 0; i < FBuffer.size(); ++i) {
        if (FBuffer[i] != Inicio)
            continue;
        const TCandidato candidato = AvaliaCandidato(FBuffer, i);
        if (candidato == TCandidato::Incompleto && !primeiroIncompleto)
            primeiroIncompleto = i;
        if (candidato != TCandidato::Valido)
            continue;
        const std::size_t corpo = FBuffer[i + 1];
        TQuadro quadro;
        quadro.Numero = FBuffer[i + 2];
        quadro.Comando = FBuffer[i + 3];
        quadro.Dados.assign(FBuffer.begin() + static_cast<std::ptrdiff_t>(i + 4),
                            FBuffer.begin() + static_cast<std::ptrdiff_t>(i + 2 + corpo));
        FDescartados += i;
        FBuffer.erase(FBuffer.begin(), FBuffer.begin() + static_cast<std::ptrdiff_t>(i + 4 + corpo));
        return quadro;
    }
    // Nothing complete: keep only what may still become a frame.
    const std::size_t manter = primeiroIncompleto.value_or(FBuffer.size());
    FDescartados += manter;
    FBuffer.erase(FBuffer.begin(), FBuffer.begin() + static_cast<std::ptrdiff_t>(manter));
    return std::nullopt;
}

TEscritor& TEscritor::Bruto(const std::uint8_t* bytes, std::size_t tamanho)
{
    FBytes.insert(FBytes.end(), bytes, bytes + tamanho);
    return *this;
}

TEscritor& TEscritor::Byte(std::uint8_t valor)
{
    FBytes.push_back(valor);
    return *this;
}

TEscritor& TEscritor::Natural32(std::uint32_t valor)
{
    for (int i = 0; i < 4; ++i)
        FBytes.push_back(static_cast<std::uint8_t>(valor >> (8 * i)));
    return *this;
}

TEscritor& TEscritor::Inteiro32(std::int32_t valor)
{
    return Natural32(static_cast<std::uint32_t>(valor));
}

TEscritor& TEscritor::Inteiro64(std::int64_t valor)
{
    const auto natural = static_cast<std::uint64_t>(valor);
    for (int i = 0; i < 8; ++i)
        FBytes.push_back(static_cast<std::uint8_t>(natural >> (8 * i)));
    return *this;
}

TEscritor& TEscritor::Real(double valor)
{
    std::int64_t bits;
    std::memcpy(&bits, &valor, sizeof bits);
    return Inteiro64(bits);
}

TEscritor& TEscritor::Texto(const std::string& valor)
{
    const std::size_t tamanho = std::min<std::size_t>(valor.size(), 255);
    FBytes.push_back(static_cast<std::uint8_t>(tamanho));
    FBytes.insert(FBytes.end(), valor.begin(), valor.begin() + static_cast<std::ptrdiff_t>(tamanho));
    return *this;
}

bool TLeitor::Reserva(std::size_t tamanho)
{
    if (!FOk || FBytes.size() - FPosicao < tamanho) {
        FOk = false;
        return false;
    }
    return true;
}

std::uint8_t TLeitor::Byte()
{
    return Reserva(1) ? FBytes[FPosicao++] : 0;
}

std::uint32_t TLeitor::Natural32()
{
    if (!Reserva(4))
        return 0;
    std::uint32_t valor = 0;
    for (int i = 0; i < 4; ++i)
        valor |= static_cast<std::uint32_t>(FBytes[FPosicao++]) << (8 * i);
    return valor;
}

std::int32_t TLeitor::Inteiro32()
{
    return static_cast<std::int32_t>(Natural32());
}

std::int64_t TLeitor::Inteiro64()
{
    if (!Reserva(8))
        return 0;
    std::uint64_t valor = 0;
    for (int i = 0; i < 8; ++i)
        valor |= static_cast<std::uint64_t>(FBytes[FPosicao++]) << (8 * i);
    return static_cast<std::int64_t>(valor);
}

double TLeitor::Real()
{
    const std::int64_t bits = Inteiro64();
    double valor;
    std::memcpy(&valor, &bits, sizeof valor);
    return valor;
}

std::string TLeitor::Texto()
{
    const std::size_t tamanho = Byte();
    if (!Reserva(tamanho))
        return {};
    std::string valor(FBytes.begin() + static_cast<std::ptrdiff_t>(FPosicao),
                      FBytes.begin() + static_cast<std::ptrdiff_t>(FPosicao + tamanho));
    FPosicao += tamanho;
    return valor;
}

void CodificaAbastecimento(TEscritor& escritor, const TDadosAbastecimento& dados)
{
    escritor.Natural32(dados.Chave)
        .Inteiro32(dados.Id)
        .Texto(dados.Bico)
        .Real(dados.Litragem)
        .Inteiro64(dados.ValorTotal)
        .Inteiro64(dados.PrecoUnit)
        .Texto(dados.Data)
        .Texto(dados.Hora)
        .Real(dados.EncerranteFinal)
        .Texto(dados.CodFid);
}

std::optional<TDadosAbastecimento> DecodificaAbastecimento(TLeitor& leitor)
{
    TDadosAbastecimento dados;
    dados.Chave = leitor.Natural32();
    dados.Id = leitor.Inteiro32();
    dados.Bico = leitor.Texto();
    dados.Litragem = leitor.Real();
    dados.ValorTotal = leitor.Inteiro64();
    dados.PrecoUnit = leitor.Inteiro64();
    dados.Data = leitor.Texto();
    dados.Hora = leitor.Texto();
    dados.EncerranteFinal = leitor.Real();
    dados.CodFid = leitor.Texto();
    if (!leitor.Ok())
        return std::nullopt;
    return dados;
}

namespace {
template <typename T>
void Escreve(std::uint8_t* registro, std::size_t posicao, T valor)
{
    std::memcpy(registro + posicao, &valor, sizeof valor); // records are little-endian, as the host
}

void EscreveCurto(std::uint8_t* registro, std::size_t posicao, std::size_t campo, const std::string& texto)
{
    const std::size_t tamanho = std::min(texto.size(), campo - 1);
    registro[posicao] = static_cast<std::uint8_t>(tamanho);
    std::memcpy(registro + posicao + 1, texto.data(), tamanho);
}

void PreencheComum(std::uint8_t* registro, const TDadosAbastecimento& dados)
{
    registro[0] = 1;
    Escreve<std::int64_t>(registro, 8, dados.ValorTotal);
    Escreve<double>(registro, 16, dados.Litragem);
    Escreve<std::int64_t>(registro, 24, dados.PrecoUnit);
    EscreveCurto(registro, 41, 3, dados.Bico);
    EscreveCurto(registro, 44, 11, dados.Data);
    EscreveCurto(registro, 55, 9, dados.Hora);
}
} // namespace

void PreencheRegistroPlano(std::uint8_t* registro, const TDadosAbastecimento& dados)
{
    std::memset(registro, 0, TamanhoRegistroPlano);
    PreencheComum(registro, dados);
    Escreve<std::int32_t>(registro, 120, dados.Id);
    Escreve<double>(registro, 128, dados.EncerranteFinal);
}

void PreencheRegistroFid(std::uint8_t* registro, const TDadosAbastecimento& dados)
{
    std::memset(registro, 0, TamanhoRegistroFid);
    PreencheComum(registro, dados);
    Escreve<std::int32_t>(registro, 140, dados.Id);
    Escreve<double>(registro, 144, dados.EncerranteFinal);
    EscreveCurto(registro, 154, 22, dados.CodFid.empty() ? std::string(16, '0') : dados.CodFid);
}

void PreencheRegistroEncerrante(std::uint8_t* registro, const std::string& bico, double valor)
{
    std::memset(registro, 0, TamanhoRegistroEncerrante);
    EscreveCurto(registro, 0, 8, bico);
    Escreve<double>(registro, 8, valor);
}

std::int64_t ConverteDinheiro(double valor)
{
    return static_cast<std::int64_t>(std::llround(valor * 10000.0));
}

} // namespace Protocolo
