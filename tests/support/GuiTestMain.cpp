#include <QApplication>
#include <gtest/gtest.h>

// Widget tests get a full application object; they run on the offscreen platform.
int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); // for the map's web engine
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
