// The road of one fueling: decoding, nozzle lookup, storing with the sequence number, and the logs.
#include "MenuPrin.h"

#include "Erro.h"
#include "Mensagens.h"
#include "Regional.h"
#include "Relogio.h"
#include "Textos.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QScopeGuard>

namespace {

const QString kSemTag = QStringLiteral("0000000000000000");
// Every second of a day taken on one nozzle is the most the time can move.
constexpr int kMaximoSegundosMovidos = 24 * 60 * 60;

template <typename TRegistro>
TDadosAbastecimento DecodificaComum(const TRegistro& registro)
{
    TDadosAbastecimento d;
    d.Valido = registro.Valido != 0;
    d.ValorTotal = registro.ValorTotal;
    d.Litragem = registro.Litragem;
    d.PrecoUnit = registro.PrecoUnit;
    d.Bico = registro.Bico.Texto();
    d.Data = registro.Data.Texto();
    d.Hora = registro.Hora.Texto();
    d.Id = registro.Id;
    d.EncerranteFinal = registro.EncerranteFinal;
    return d;
}

} // namespace

TDadosAbastecimento TDadosAbastecimento::De(const TAbastecimento& registro)
{
    return DecodificaComum(registro);
}

TDadosAbastecimento TDadosAbastecimento::De(const TAbastecimentoFid& registro)
{
    TDadosAbastecimento d = DecodificaComum(registro);
    d.CodFid = registro.CodFid.Texto().left(16);
    return d;
}

void TMenuPrin::ProcessaAbastecimento(const TAbastecimento& Registro)
{
    ProcessaDados(TDadosAbastecimento::De(Registro), true);
}

void TMenuPrin::ProcessaAbastecimentoFid(const TAbastecimentoFid& Registro)
{
    ProcessaDados(TDadosAbastecimento::De(Registro), false);
}

// Both layouts take the same road; only the plain one passes a storing failure on to its caller.
void TMenuPrin::ProcessaDados(const TDadosAbastecimento& dados, bool repassaErro)
{
    try {
        if (!dados.Valido)
            return;
        if (Arredonda(dados.Litragem, 2) == 0 || Arredonda(dados.PrecoUnit / 10000.0, 2) == 0)
            return;
        BicoConcentrador = StrZero(QString::number(LeInteiro(QStringLiteral("$") + dados.Bico)), 3);
        if (!LocalizaBico()) {
            GravaLogErro(QStringLiteral("O sistema não encontrou nenhum bico relacionado com o concentrador ")
                         + BicoConcentrador + QStringLiteral(" ID: ") + StrZero(QString::number(dados.Id), 4)
                         + QStringLiteral(" Dinheiro: ") + TextoNumero(dados.ValorTotal / 10000.0)
                         + QStringLiteral(" Litros: ") + TextoNumero(dados.Litragem));
            return;
        }
        const QString codBico = Bombas->CampoTexto(QStringLiteral("CodBico"));
        const QString combustivel = ParaPosto->CampoTexto(QStringLiteral("ImpreDescBico")) == QLatin1String("S")
            ? Bombas->CampoTexto(QStringLiteral("DescricaoBico"))
            : Bombas->CampoTexto(QStringLiteral("DescricaoProduto"));
        const QString grade = SubstituiTexto(Bombas->CampoTexto(QStringLiteral("Grade")), QStringLiteral("/"), QString());
        const QString codProd = Bombas->CampoTexto(QStringLiteral("CodProd"));
        IniciaTransacao(CnTankora);
        QString hora = dados.Hora;
        GravaAbastecimento(hora, dados.Data, codBico, combustivel, codProd, grade, dados.CodFid, dados.Litragem,
                           dados.ValorTotal / 10000.0, dados.PrecoUnit / 10000.0, 0, dados.EncerranteFinal,
                           dados.Id, BicoConcentrador);
        ConfirmaTransacao(CnTankora);
        QCoreApplication::processEvents();
    } catch (const std::exception& e) {
        const QString mensagem = MensagemDe(e);
        DesfazTransacao(CnTankora);
        MostraJanela();
        MostraMensagem(TTipoMensagem::Erro,
                       QStringLiteral("Ocorreu um erro ao realizar a leitura do abastecimento:\r") + mensagem
                           + QStringLiteral("\rFeche o sistema de conexão com o concentrador e o reinicie novamente!"));
        if (repassaErro)
            throw EErro(QStringLiteral("Erro ao tentar gravar o abastecimento ") + mensagem);
    }
}

bool TMenuPrin::LocalizaBico()
{
    Bombas->Fecha();
    Bombas->DefineSQL(QStringList{
        QStringLiteral("Select Bombas.CodBico,"),
        QStringLiteral("    Bombas.CodTanque,"),
        QStringLiteral("    Bombas.Descricao DescricaoBico,"),
        QStringLiteral("    Bombas.CodConcentrador,"),
        QStringLiteral("    Tanques.CodTanque Grade,"),
        QStringLiteral("    Produto.CodProd,"),
        QStringLiteral("    Produto.Descricao DescricaoProduto"),
        QStringLiteral("From  Bombas"),
        QStringLiteral("Inner Join Tanques On Tanques.CodTanque = Bombas.CodTanque"),
        QStringLiteral("Inner Join Produto On Produto.CodProd = Tanques.CodProd"),
        QStringLiteral("Where Bombas.CodConcentrador = :PConcentrador"),
    }.join('\n'));
    Bombas->DefineTexto(QStringLiteral("PConcentrador"), BicoConcentrador);
    Bombas->Abre();
    return !Bombas->Vazia();
}

void TMenuPrin::GravaAbastecimento(QString& PHora, const QString& PData, const QString& PCodBico,
                                   const QString& PCombustivel, const QString& PCodProd, const QString& PCodGrade,
                                   const QString& PCodFid, double PLitragem, double PValor, double PPrecoUnit,
                                   double PDesconto, double PEncerranteFinal, qint32 PId,
                                   const QString& CodConcentrador)
{
    try {
        QTime hora = LeHora(PHora);
        const QString dataComPontos = SubstituiTexto(PData, QStringLiteral("/"), QStringLiteral("."));
        // Move the time past any other fueling of this nozzle at the same date and second, unless
        // this very fueling is the one already stored.
        for (int movidos = 0;; ++movidos) {
            MvAbast->Fecha();
            MvAbast->DefineSQL(QStringLiteral("Select * From MvAbast      Where Data    = :PData    And   Hora    = "
                                              ":PHora    And   CodBico = :PCodBico"));
            MvAbast->DefineTexto(QStringLiteral("PData"), dataComPontos);
            MvAbast->DefineTexto(QStringLiteral("PHora"), TextoHoraLonga(hora));
            MvAbast->DefineTexto(QStringLiteral("PCodBico"), PCodBico);
            MvAbast->Abre();
            if (MvAbast->Vazia() || ExisteAbastecimento(PId, dataComPontos))
                break;
            if (movidos >= kMaximoSegundosMovidos)
                throw EErro(QStringLiteral("Não há horário livre no dia %1 para o bico %2.").arg(PData, PCodBico));
            hora = hora.addSecs(1);
        }
        PHora = TextoHoraLonga(hora);

        TConsulta insere(&CnTankora);
        insere.DefineSQL(QStringLiteral("INSERT into mvabast(           mvabast.Data,               mvabast.Hora,               mvabast.CodBico,            mvabast.Combustivel,        mvabast.Litragem,           mvabast.Valor,              mvabast.CodProd,            mvabast.CodGrade,           mvabast.CodFid,             mvabast.PrecoUnit,          mvabast.Desconto,           mvabast.Emitido,            mvabast.Id,                 mvabast.Sequencia,          mvabast.EncerranteFinal)  Values(                       :PData,                     :PHora,                     :PCodBico,                  :PCombustivel,              :PLitragem,                 :PValor,                    :PCodProd,                  :PCodGrade,                 :PCodFid,                   :PPrecoUnit,                :PDesconto,                 :PEmitido,                  :PId,                       :PSequencia,                :PEncerranteFinal)       "));
        const QDate data = LeData(PData);
        const int sequencia = ReabreParametros();
        insere.DefineData(QStringLiteral("PData"), data);
        insere.DefineTexto(QStringLiteral("PHora"), PHora);
        insere.DefineTexto(QStringLiteral("PCodBico"), PCodBico);
        insere.DefineTexto(QStringLiteral("PCombustivel"), PCombustivel);
        insere.DefineDouble(QStringLiteral("PLitragem"), PLitragem);
        insere.DefineDouble(QStringLiteral("PValor"), PValor);
        insere.DefineTexto(QStringLiteral("PCodProd"), PCodProd);
        insere.DefineTexto(QStringLiteral("PCodGrade"), PCodGrade);
        if (UsaFid && PCodFid != kSemTag)
            insere.DefineTexto(QStringLiteral("PCodFid"), PCodFid);
        else
            insere.DefineNuloTexto(QStringLiteral("PCodFid"));
        insere.DefineDouble(QStringLiteral("PPrecoUnit"), PPrecoUnit);
        insere.DefineDouble(QStringLiteral("PDesconto"), PDesconto);
        insere.DefineTexto(QStringLiteral("PEmitido"), QStringLiteral("N"));
        insere.DefineInteiro(QStringLiteral("PId"), PId);
        insere.DefineInteiro(QStringLiteral("PSequencia"), sequencia);
        insere.DefineDouble(QStringLiteral("PEncerranteFinal"), PEncerranteFinal);
        try {
            insere.Executa();
        } catch (const std::exception& e) {
            const QString mensagem = MensagemDe(e);
            GravaLogErro(QStringLiteral("Erro ao tentar gravar o abastecimento:  Sequencia: ") + QString::number(sequencia)
                         + QStringLiteral(" Data: ") + TextoData(data) + QStringLiteral(" Hora: ") + PHora
                         + QStringLiteral(" Bico: ") + PCodBico + QStringLiteral(" Erro: ") + mensagem);
            EscreveLinhaLog(PData, PHora, PCodBico, PLitragem, PValor, PPrecoUnit, QString::number(ReabreParametros()),
                            QString::number(PId), CodConcentrador);
            throw EErro(QStringLiteral("Erro ao tentar gravar o abastecimento ") + mensagem);
        }
        EscreveLinhaLog(PData, PHora, PCodBico, PLitragem, PValor, PPrecoUnit, QString::number(ReabreParametros()),
                        QString::number(PId), CodConcentrador);
        if (PId == 9999)
            AtualizaSequencia();
    } catch (const std::exception& e) {
        throw EErro(QStringLiteral("Erro ao Gravar o Abastecimento") + MensagemDe(e));
    }
}

bool TMenuPrin::ExisteAbastecimento(qint32 Id, const QString& DataComPontos)
{
    TConsulta consulta(&CnTankora);
    consulta.DefineSQL(QStringLiteral("Select * From MvAbast            Where ID        = :PID         And   "
                                      "Sequencia = :PSequencia  And   Data = :PData"));
    consulta.DefineInteiro(QStringLiteral("PID"), Id);
    consulta.DefineInteiro(QStringLiteral("PSequencia"), ReabreParametros());
    consulta.DefineTexto(QStringLiteral("PData"), DataComPontos);
    consulta.Abre();
    return !consulta.Vazia();
}

int TMenuPrin::ReabreParametros()
{
    if (SequenciaAlterada) {
        ParaPosto->Fecha();
        ParaPosto->Abre();
    }
    return static_cast<int>(ParaPosto->CampoInteiro(QStringLiteral("SequenciaAbast")));
}

void TMenuPrin::AtualizaSequencia()
{
    try {
        // The row is found by the value it was read with: a counter that another program changed
        // meanwhile is refused, never overwritten.
        TConsulta atualiza(&CnTankora);
        if (FSequenciaNula) {
            atualiza.DefineSQL(QStringLiteral("Update ParaPosto Set SequenciaAbast = :PNova Where SequenciaAbast Is Null"));
        } else {
            atualiza.DefineSQL(QStringLiteral("Update ParaPosto Set SequenciaAbast = :PNova Where SequenciaAbast = :PLida"));
            atualiza.DefineInteiro(QStringLiteral("PLida"), FSequenciaLida);
        }
        atualiza.DefineInteiro(QStringLiteral("PNova"), FSequenciaLida + 1);
        if (atualiza.Executa() == 0)
            throw EErro(QStringLiteral("a sequência foi alterada por outro programa"));
    } catch (const std::exception&) {
        throw EErro(QStringLiteral("Erro ao Atualizar a Sequência de Abastecimentos."));
    }
    ++FSequenciaLida;
    FSequenciaNula = false;
    SequenciaAlterada = true;
}

void TMenuPrin::EscreveLinhaLog(const QString& Data, const QString& Hora, const QString& Bico, double Litragem,
                                double Valor, double PrecoUnit, const QString& Sequencia, const QString& Id,
                                const QString& CodConcentrador)
{
    const QString linha = MontaLinhaLog(Data, Hora, Bico, Litragem, Valor, PrecoUnit, Sequencia, Id, CodConcentrador);
    FLogAbastecimentos.Acrescenta(Relogio().PastaExecutavel() + NomeLogDoDia(Relogio().Agora().date()), linha);
    VisualizaLog->appendPlainText(linha);
}

void TMenuPrin::IniciaLog()
{
    const QDate hoje = Relogio().Agora().date();
    CabecalhoLog->setPlainText(MontaCabecalhoLog(hoje).join('\n'));
    const QString caminho = Relogio().PastaExecutavel() + NomeLogDoDia(hoje);
    if (QFileInfo::exists(caminho))
        VisualizaLog->setPlainText(LeLinhasLog(caminho).join('\n'));
}

void TMenuPrin::GravaLogErro(const QString& Mensagem)
{
    FLogErros.Acrescenta(Relogio().PastaExecutavel() + QStringLiteral("LogErroConcentrador"),
                         MontaLinhaErro(Relogio().Agora(), Mensagem));
}

void TMenuPrin::VisualizaLogChange()
{
    const int linhas = VisualizaLog->document()->isEmpty() ? 0 : VisualizaLog->document()->blockCount();
    DefineTextoPainel(1, QStringLiteral("Total de Abastecimentos: ") + QString::number(linhas));
}
