#pragma once
// The make-independent face of the fuel-pump concentrator and the records that cross it.
// The records travel to and from the vendor library as raw bytes: their layouts are fixed
// byte for byte and checked at compile time.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>

#pragma pack(push, 1)

// A length byte followed by at most N-1 8-bit characters. A length byte larger than the field
// is read clamped to the field, so nothing is ever read outside the record.
template <std::size_t N>
struct TTextoCurto {
    std::uint8_t Tamanho;
    char Caracteres[N - 1];

    QByteArray Bytes() const
    {
        const std::size_t n = Tamanho < N - 1 ? Tamanho : N - 1;
        return QByteArray(Caracteres, static_cast<qsizetype>(n));
    }
    QString Texto() const { return QString::fromLatin1(Bytes()); }
    // Stores at most N-1 characters; the rest of the field is zeroed.
    void Define(const QByteArray& texto)
    {
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(texto.size()), N - 1);
        std::memset(Caracteres, 0, sizeof Caracteres);
        std::memcpy(Caracteres, texto.constData(), n);
        Tamanho = static_cast<std::uint8_t>(n);
    }
};

// One fueling, plain layout (144 bytes).
struct TAbastecimento {
    std::uint8_t Valido;
    std::uint8_t Reservado1[7];
    std::int64_t ValorTotal; // 1/10000
    double Litragem;
    std::int64_t PrecoUnit; // 1/10000
    std::uint8_t Reservado2[9];
    TTextoCurto<3> Bico;
    TTextoCurto<11> Data;
    TTextoCurto<9> Hora;
    std::uint8_t Reservado3[56];
    std::int32_t Id;
    std::uint8_t Reservado4[4];
    double EncerranteFinal;
    std::uint8_t Reservado5[8];
};

// One fueling, tag layout (176 bytes): the same first 64 bytes, then ID, totalizer and tag code.
struct TAbastecimentoFid {
    std::uint8_t Valido;
    std::uint8_t Reservado1[7];
    std::int64_t ValorTotal;
    double Litragem;
    std::int64_t PrecoUnit;
    std::uint8_t Reservado2[9];
    TTextoCurto<3> Bico;
    TTextoCurto<11> Data;
    TTextoCurto<9> Hora;
    std::uint8_t Reservado3[76];
    std::int32_t Id;
    double EncerranteFinal;
    std::uint8_t Reservado4[2];
    TTextoCurto<22> CodFid;
};

// One totalizer reading (16 bytes).
struct TEncerrante {
    TTextoCurto<8> Bico;
    double Encerrante;
};

// The library's display record; nothing in the program reads it.
struct TVisualizacao {
    std::uint8_t Dados[256];
};

#pragma pack(pop)

static_assert(sizeof(double) == 8);
static_assert(sizeof(TAbastecimento) == 144);
static_assert(offsetof(TAbastecimento, ValorTotal) == 8);
static_assert(offsetof(TAbastecimento, Litragem) == 16);
static_assert(offsetof(TAbastecimento, PrecoUnit) == 24);
static_assert(offsetof(TAbastecimento, Bico) == 41);
static_assert(offsetof(TAbastecimento, Data) == 44);
static_assert(offsetof(TAbastecimento, Hora) == 55);
static_assert(offsetof(TAbastecimento, Id) == 120);
static_assert(offsetof(TAbastecimento, EncerranteFinal) == 128);
static_assert(sizeof(TAbastecimentoFid) == 176);
static_assert(offsetof(TAbastecimentoFid, Bico) == 41);
static_assert(offsetof(TAbastecimentoFid, Data) == 44);
static_assert(offsetof(TAbastecimentoFid, Hora) == 55);
static_assert(offsetof(TAbastecimentoFid, Id) == 140);
static_assert(offsetof(TAbastecimentoFid, EncerranteFinal) == 144);
static_assert(offsetof(TAbastecimentoFid, CodFid) == 154);
static_assert(sizeof(TEncerrante) == 16);
static_assert(offsetof(TEncerrante, Encerrante) == 8);

// Zero-filled records: what "nothing waiting" looks like.
template <typename T>
T RegistroVazio()
{
    T registro;
    std::memset(&registro, 0, sizeof registro);
    return registro;
}

// What closing the link does with the last fueling delivered: acknowledge it (it was stored or
// deliberately passed over) or keep it at the device, which delivers it again to the next run.
enum class TUltimoEntregue { Confirma, Retem };

// The concentrator interface. The base behaviours are those of a driver that overrides nothing.
class TConcentrador {
public:
    TConcentrador();
    virtual ~TConcentrador() = default;
    TConcentrador(const TConcentrador&) = delete;
    TConcentrador& operator=(const TConcentrador&) = delete;

    virtual QString GetLeStatus();                                   // slot 0
    virtual QString FGetStStatusBico();                              // slot 1
    virtual void FBloqueiaBico(const QString& Bico);                 // slot 2
    virtual void FLiberaBico(const QString& Bico);                   // slot 3
    virtual TVisualizacao GetLeVisualizacao();                       // slot 4
    virtual TAbastecimento GetLeAbastecimento();                     // slot 5
    virtual TAbastecimentoFid GetLeAbastecimentoFID();               // slot 6
    virtual TEncerrante ConsultaEncerrante(const QString& Bico);     // slot 7
    virtual TAbastecimento FLeRegistro(std::int32_t Id);             // slot 8
    virtual void LerEncerrante(char Tipo, const QString& Bico);      // slot 9
    virtual void AlteraPrecoBico(const QString& Bico, std::uint8_t Modo, double Preco); // slot 10
    virtual void PCarregaDllConcentrador();                          // slot 11
    virtual bool InicializaSerial(std::uint8_t Porta);               // slot 12
    virtual double PrecoUnitario(const QString& Bico);               // slot 13
    virtual void FinalizaSerial(TUltimoEntregue Ultimo);             // slot 14
    virtual void AcertaDataHora();                                   // slot 15

    // The last totalizer reading stored by LerEncerrante.
    TEncerrante LeituraEncerrante;
};
