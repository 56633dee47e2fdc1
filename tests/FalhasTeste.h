#pragma once
// Bookkeeping of the fault tests: the fuelings offered to the simulated concentrator, and what the
// station database holds afterwards. Each scenario prints one line of figures.
#include "Conexao.h"
#include "Erro.h"
#include "SimuladorTeste.h"

#include <QHash>
#include <QSet>
#include <QTest>

struct TOferecido {
    int Id;
    QString Bico;
    double Litros;
};

struct TContagem {
    int Oferecidos = 0;
    int Gravados = 0;   // offered fuelings found in MvAbast
    int Duplicados = 0; // rows beyond the first of one fueling
    int Perdidos = 0;   // offered fuelings not found
    int Estranhos = 0;  // rows that match no offered fueling
};

class TOfertas {
public:
    QList<TOferecido> Lista;

    // Queues one fueling in the simulator with its own ID and time, and litres of its own unless
    // given.
    bool Oferece(TSimuladorTeste& simulador, int id, const QString& bico = QStringLiteral("44"), double litrosDados = 0)
    {
        const int n = static_cast<int>(Lista.size());
        const double litros = litrosDados > 0 ? litrosDados : 5 + n + (id % 1000) / 1000.0;
        bool aceito = false;
        simulador.Ctl({"abastece", "bico=" + bico, QString("litros=%1").arg(litros, 0, 'f', 3), "preco=5.899",
                       "data=09/12/2025",
                       QString("hora=%1:%2:%3").arg(6 + n / 3600, 2, 10, QChar('0')).arg(n / 60 % 60, 2, 10, QChar('0'))
                           .arg(n % 60, 2, 10, QChar('0')),
                       QString("id=%1").arg(id)},
                      &aceito);
        if (aceito)
            Lista.append({id, bico, litros});
        return aceito;
    }

    // Matches the rows of MvAbast against the offered fuelings (ID and litres; an ID and litres
    // offered twice, as after a concentrator restart, is two fuelings).
    TContagem Confere(TConexao& conexao) const
    {
        TConsulta consulta(&conexao);
        consulta.DefineSQL(QStringLiteral("Select Id, Litragem From MvAbast"));
        consulta.Abre();
        QHash<QString, int> linhas;
        for (; !consulta.Fim(); consulta.Proximo())
            ++linhas[Chave(static_cast<int>(consulta.CampoInteiro("Id")), consulta.CampoDouble("Litragem"))];
        QHash<QString, int> oferecidos;
        for (const TOferecido& o : Lista)
            ++oferecidos[Chave(o.Id, o.Litros)];
        TContagem contagem;
        contagem.Oferecidos = static_cast<int>(Lista.size());
        for (auto i = oferecidos.cbegin(); i != oferecidos.cend(); ++i) {
            const int quantas = linhas.value(i.key());
            contagem.Gravados += std::min(quantas, i.value());
            contagem.Perdidos += std::max(0, i.value() - quantas);
            contagem.Duplicados += std::max(0, quantas - i.value());
        }
        for (auto i = linhas.cbegin(); i != linhas.cend(); ++i)
            if (!oferecidos.contains(i.key()))
                contagem.Estranhos += i.value();
        return contagem;
    }

    static QString Chave(int id, double litros) { return QString("%1/%2").arg(id).arg(litros, 0, 'f', 3); }
};

// Whether our library runs under the vendor's contract here (each fueling acknowledged as it is
// delivered) rather than its own (acknowledged by the next read). ctest runs the fault suite under
// both; the library, and every program a test starts, reads the same variable.
inline bool ContratoNaEntrega()
{
    return qEnvironmentVariable("COMPANYTEC_CONFIRMA_NA_ENTREGA") == QLatin1String("1");
}

inline void ImprimeFiguras(const char* cenario, int casos, const TContagem& c)
{
    // One line per scenario and library contract, gathered into RELIABILITY.md.
    qInfo("FIGURAS cenario=%s casos=%d oferecidos=%d gravados=%d duplicados=%d perdidos=%d contrato=%s", cenario,
          casos, c.Oferecidos, c.Gravados, c.Duplicados, c.Perdidos,
          ContratoNaEntrega() ? "na-entrega" : "proxima-leitura");
}

inline qint64 Inteiro(TConexao& conexao, const QString& sql)
{
    TConsulta consulta(&conexao);
    consulta.DefineSQL(sql);
    consulta.Abre();
    return consulta.CampoInteiro(QStringLiteral("Valor"));
}

// Rows in MvAbast through an attachment to a server that may be down: -1 while it does not answer.
inline qint64 GravadosNoServidor(TConexao& verifica)
{
    try {
        if (verifica.Perdida() || !verifica.Conectado())
            verifica.Reconecta();
        return Inteiro(verifica, QStringLiteral("Select Count(*) As Valor From MvAbast"));
    } catch (const EErro&) {
        return -1;
    }
}
