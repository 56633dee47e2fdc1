#include "Linkor.h"

#include "Banco.h"
#include "ClassCompanyTec.h"
#include "Erro.h"
#include "Ini.h"

TLinkor::TLinkor(TContexto& contexto, TFabricaConcentrador fabrica, QObject* parent)
    : QObject(parent), FContexto(contexto), FFabrica(std::move(fabrica)), FParametros(contexto),
      FCiclo(contexto, FParametros, this)
{
}

std::uint8_t TLinkor::NumeroPortaSerial(const QString& portaConc)
{
    const QString resto = portaConc.mid(3);
    qsizetype n = 0;
    while (n < resto.size() && resto.at(n).isDigit() && resto.at(n).unicode() < 128)
        ++n;
    if (n == 0)
        throw EErroConversao(QStringLiteral("'%1' não é um valor inteiro válido").arg(resto));
    const qint64 porta = resto.left(n).toLongLong();
    if (n > 3 || porta > 255)
        throw EErro(QStringLiteral("A porta serial '%1' não existe: use COM1 a COM255.").arg(portaConc));
    return static_cast<std::uint8_t>(porta);
}

void TLinkor::Inicia()
{
    FVersao = QStringLiteral("v15.11dc");
    FCiclo.IniciaLog();
    TConexao& conexao = FContexto.CnTankora();
    AbreBanco(conexao, FContexto.Relogio(), FContexto.Mensagens(), DefinicaoDbTankora(),
              [this](const QString& linha) { FContexto.GravaLogErro(linha); });
    FParametros.Abre();
    if (FParametros.Texto(QStringLiteral("usaconcentrador")) != QLatin1String("S")) {
        FContexto.Mensagens().MostraMensagem(TTipoMensagem::Informacao,
                                             QStringLiteral("O sistema não foi configurado para usar concentrador. \r"
                                                            "O aplicativo Linkor será finalizado."));
        FFimSolicitado = true;
    }
    FContexto.DefineConcentrador(FFabrica ? FFabrica() : std::make_unique<TCompanyTec>(FContexto.Regional()));
    TConcentrador& concentrador = *FContexto.Concentrador();
    concentrador.PCarregaDllConcentrador();
    if (!concentrador.InicializaSerial(NumeroPortaSerial(FParametros.Texto(QStringLiteral("PortaConc")))))
        throw EErro(QStringLiteral("Erro ao tentar a conexão com a porta serial!!"));
    if (FParametros.Texto(QStringLiteral("AcertaDataConc")) == QLatin1String("S")) {
        // A clock the concentrator did not take is no reason to stop storing fuelings: it is logged
        // and the start goes on, as it did before the driver reported it.
        try {
            concentrador.AcertaDataHora();
        } catch (const std::exception& e) {
            FContexto.GravaLogErro(QStringLiteral("Erro ao acertar a Data/Hora do concentrador na inicialização: ")
                                   + MensagemDe(e));
        }
    }
    FCiclo.DefineIntervaloLeitura(static_cast<int>(FParametros.Inteiro(QStringLiteral("Tempoleconcentrador")) * 1000));
    const QString ini = LocalizaArquivo(FContexto.Relogio().PastaExecutavel(), QStringLiteral("TankoraECF.INI"));
    FCiclo.DefineUsaFid(!ini.isEmpty()
                        && TArquivoIni(ini).LeTexto(QStringLiteral("POSTO"), QStringLiteral("USA_FID"),
                                                    QStringLiteral("N"))
                            == QLatin1String("S"));
}

void TLinkor::Finaliza()
{
    FCiclo.Finaliza();
    if (TConcentrador* concentrador = FContexto.Concentrador())
        concentrador->FinalizaSerial();
}
