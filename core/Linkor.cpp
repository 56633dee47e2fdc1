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
    if (portaConc.trimmed().isEmpty())
        throw EErro(QStringLiteral("A porta serial do concentrador não foi informada (ParaPosto.PortaConc está "
                                   "vazio): use COM1 a COM255."));
    // LPT1 or USB1 would open serial port 1, a device the station never named.
    if (portaConc.size() > 3 && !portaConc.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        throw EErro(QStringLiteral("A porta do concentrador '%1' não é uma porta serial: use COM1 a COM255.")
                        .arg(portaConc.trimmed()));
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
    // Before anything else: a second Linkor on this station must change nothing at all.
    TravaPosto(FTravaPosto, FContexto.Relogio().PastaExecutavel());
    FVersao = kVersao;
    FCiclo.IniciaLog();
    // Before the concentrator is read: what it delivers goes here first.
    FCiclo.AbreDiario();
    TConexao& conexao = FContexto.CnTankora();
    AbreBanco(conexao, FContexto.Relogio(), FContexto.Mensagens(), DefinicaoDbTankora(),
              [this](const QString& linha) { FContexto.GravaLogErro(linha); });
    FParametros.Abre();
    // Without the row every setting would read empty and the operator would hear of a serial port.
    if (FParametros.SemLinha())
        throw EErro(QStringLiteral("A tabela ParaPosto não tem nenhuma linha: os parâmetros do posto não foram "
                                   "cadastrados."));
    if (FParametros.Texto(QStringLiteral("usaconcentrador")) != QLatin1String("S")) {
        FContexto.Mensagens().MostraMensagem(TTipoMensagem::Informacao,
                                             QStringLiteral("O sistema não foi configurado para usar concentrador. \r"
                                                            "O aplicativo Linkor será finalizado."));
        FFimSolicitado = true;
    }
    // 0 (or empty) means no polling on purpose. A value past an hour, or below zero, is no interval a
    // station means (99999 would poll once a day without a word): refused before the concentrator is
    // touched.
    const qint64 segundos = FParametros.Inteiro(QStringLiteral("Tempoleconcentrador"));
    if (segundos < 0 || segundos > TRepositorioParametros::kMaximoTempoLeitura)
        throw EErro(QStringLiteral("O tempo de leitura do concentrador (ParaPosto.TEMPOLECONCENTRADOR = %1) está fora "
                                   "do intervalo aceito, de 0 a %2 segundos.\rCorrija-o no banco de dados do posto e "
                                   "inicie o Linkor novamente.")
                        .arg(segundos)
                        .arg(TRepositorioParametros::kMaximoTempoLeitura));
    FContexto.DefineConcentrador(FFabrica ? FFabrica() : std::make_unique<TCompanyTec>(FContexto.Regional()));
    TConcentrador& concentrador = *FContexto.Concentrador();
    concentrador.PCarregaDllConcentrador();
    if (!concentrador.InicializaSerial(NumeroPortaSerial(FParametros.Texto(QStringLiteral("PortaConc")))))
        throw EErro(QStringLiteral("Erro ao tentar a conexão com a porta serial!!"));
    // A clock the concentrator did not take ends the start like any other step that failed.
    if (FParametros.Texto(QStringLiteral("AcertaDataConc")) == QLatin1String("S"))
        concentrador.AcertaDataHora();
    FCiclo.DefineIntervaloLeitura(static_cast<int>(segundos * 1000));
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
        // Everything delivered is in the journal and reaches the database from there; only a record
        // the journal could not take must stay with the device, which delivers it to the next run.
        concentrador->FinalizaSerial(FCiclo.RegistroForaDoDiario() ? TUltimoEntregue::Retem
                                                                   : TUltimoEntregue::Confirma);
}
