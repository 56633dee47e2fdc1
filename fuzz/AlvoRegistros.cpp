// Any bytes as the fueling record the library fills, plain (144 bytes) or tag (176 bytes), through
// the whole road: decoding, nozzle lookup, time check, insert, sequence and logs, on a real embedded
// station database. The promises: a record is stored at most once, refused only with one of our
// errors (never another exception), and no transaction is left open on the shared connection.
#include "Alvos.h"
#include "ClassConcentrador.h"
#include "Erro.h"
#include "Linkor.h"
#include "Posto.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <memory>

namespace {

class TRelogioPasta : public TRelogio {
public:
    explicit TRelogioPasta(QString pasta) : FPasta(std::move(pasta)) {}
    QString PastaExecutavel() const override { return FPasta; }
    QString PastaAtual() const override { return FPasta; }
    void Dorme(int) const override {}

private:
    QString FPasta;
};

class TMensagensMudas : public TMensagens {
public:
    TResposta MostraMensagem(TTipoMensagem, const QString&, TBotoes botoes) override
    {
        return botoes == TBotoes::SimNao ? TResposta::Nao : TResposta::Ok;
    }
};

// One station for the whole run: creating a database per input would measure Firebird, not us.
struct TPostoFuzz {
    QTemporaryDir Pasta;
    std::unique_ptr<TRelogioPasta> Relogio;
    TMensagensMudas Mensagens;
    std::unique_ptr<TContexto> Contexto;
    std::unique_ptr<TLinkor> Motor;
    std::unique_ptr<TConsulta> Conta;

    TPostoFuzz()
    {
        const QString pasta = Pasta.path() + '/';
        Relogio = std::make_unique<TRelogioPasta>(pasta);
        CriaBancoPosto(pasta + "POSTO.FDB", true);
        QFile ini(pasta + "Caminho.ini");
        if (!ini.open(QIODevice::WriteOnly))
            throw EFalhaAlvo("no Caminho.ini");
        ini.write(("[DATABASEESTOQUE]\r\nCAMINHO=" + pasta + "POSTO.FDB\r\nUSUARIO=SYSDBA\r\n").toUtf8());
        ini.close();
        Contexto = std::make_unique<TContexto>(*Relogio, Mensagens, TConfiguracaoRegional::PtBr());
        Motor = std::make_unique<TLinkor>(*Contexto, [] { return std::make_unique<TConcentrador>(); });
        Motor->Inicia();
        Motor->Ciclo().ParaLeitura();
        Conta = std::make_unique<TConsulta>(&Contexto->CnTankora());
        Conta->DefineSQL("Select Count(*) As Quantos From MvAbast");
    }

    qint64 Linhas()
    {
        Conta->Abre();
        return Conta->CampoInteiro("Quantos");
    }
};

TPostoFuzz& Posto()
{
    static int argc = 1;
    static char nome[] = "fuzz";
    static char* argv[] = {nome, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv); // lives for the process, as the program's does
    static TPostoFuzz posto;
    return posto;
}

template <typename TRegistro>
TRegistro Registro(const std::uint8_t* dados, std::size_t tamanho)
{
    TRegistro registro = RegistroVazio<TRegistro>();
    std::memcpy(&registro, dados, std::min(tamanho, sizeof registro));
    return registro;
}

} // namespace

void TestaRegistros(const std::uint8_t* dados, std::size_t tamanho)
{
    if (tamanho == 0)
        return;
    TPostoFuzz& posto = Posto();
    TCicloLeitura& ciclo = posto.Motor->Ciclo();
    const bool fid = dados[0] & 1;
    ciclo.DefineUsaFid(fid);
    const qint64 antes = posto.Linhas();
    try {
        if (fid)
            ciclo.ProcessaAbastecimentoFid(Registro<TAbastecimentoFid>(dados + 1, tamanho - 1));
        else
            ciclo.ProcessaAbastecimento(Registro<TAbastecimento>(dados + 1, tamanho - 1));
    } catch (const EErro&) {
        Exige(!fid, "the tag variant passed an error on");
    }
    Exige(!posto.Contexto->CnTankora().EmTransacao(), "a transaction was left open");
    const qint64 depois = posto.Linhas();
    Exige(depois == antes || depois == antes + 1, "one record stored more than once");
}

std::vector<TEntradaFuzz> ExemplosRegistros()
{
    std::vector<TEntradaFuzz> exemplos;
    const struct {
        const char* Bico;
        const char* Data;
        const char* Hora;
        double Litros;
        qint64 Preco;
        qint32 Id;
    } casos[] = {
        {"44", "09/12/2025", "14:03:27", 25.437, 58990, 169},
        {"04", "31/12/2025", "23:59:59", 10, 61900, 9999},
        {"05", "9/1/2026", "7:05:00", 0.75, 59900, 1},
    };
    for (const auto& caso : casos) {
        for (const std::uint8_t layout : {0, 1}) {
            TAbastecimento r = RegistroVazio<TAbastecimento>();
            r.Valido = 1;
            r.Litragem = caso.Litros;
            r.PrecoUnit = caso.Preco;
            r.ValorTotal = static_cast<qint64>(caso.Litros * static_cast<double>(caso.Preco));
            r.Bico.Define(caso.Bico);
            r.Data.Define(caso.Data);
            r.Hora.Define(caso.Hora);
            TEntradaFuzz entrada{layout};
            if (layout == 0) {
                r.Id = caso.Id;
                r.EncerranteFinal = 1000;
                const auto* bytes = reinterpret_cast<const std::uint8_t*>(&r);
                entrada.insert(entrada.end(), bytes, bytes + sizeof r);
            } else {
                TAbastecimentoFid f = RegistroVazio<TAbastecimentoFid>();
                std::memcpy(&f, &r, 64);
                f.Id = caso.Id;
                f.EncerranteFinal = 1000;
                f.CodFid.Define("1234567890123456");
                const auto* bytes = reinterpret_cast<const std::uint8_t*>(&f);
                entrada.insert(entrada.end(), bytes, bytes + sizeof f);
            }
            exemplos.push_back(entrada);
        }
    }
    return exemplos;
}
