#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTcpServer>
#include <QTimer>

#include "frame/app_state.h"
#include "online/forms/frm_logon.h"
#include "online/latency_probe.h"

namespace {

double Probe(const QString& site) {
    LatencyProbe probe;
    QSignalSpy measured(&probe, &LatencyProbe::measured);
    probe.start(site, 2000);
    if (measured.isEmpty() && !measured.wait(3000)) return -1;
    return measured.first().first().toDouble();
}

TEST(LatencyProbeTest, MeasuresAnOpeningConnectionAndAnswersZeroWithoutOne) {
    QTcpServer listening;
    ASSERT_TRUE(listening.listen(QHostAddress::LocalHost, 0));
    const double ms = Probe(QStringLiteral("http://127.0.0.1:%1").arg(listening.serverPort()));
    EXPECT_GT(ms, 0);
    EXPECT_LT(ms, 2000);

    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    EXPECT_EQ(Probe(QStringLiteral("127.0.0.1:%1").arg(port)), 0);
    EXPECT_EQ(Probe(QStringLiteral("http://")), 0);
}

TEST(LatencyProbeTest, FormShowsBandsAndStopsAfterSixteenProbes) {
    ResetAppState();
    FrmLogon form;
    form.Form_Load();
    form.ShowLatency(95);
    EXPECT_EQ(form.LatencyPictureShown(), 2);
    form.ShowLatency(0);  // not known: the picture stays
    EXPECT_EQ(form.LatencyPictureShown(), 2);
    auto* timer = form.findChild<QTimer*>(QStringLiteral("Timer1"));
    ASSERT_TRUE(timer->isActive());
    for (int tick = 1; tick <= 16; ++tick) {
        EXPECT_TRUE(timer->isActive()) << tick;
        form.Timer1_Timer();
    }
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(timer->property("Tag").toString(), QStringLiteral("16"));
    ResetAppState();
}

}  // namespace
