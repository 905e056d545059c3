#pragma once

#include <QString>

// What the geo-fence operations need of the map page: whether it is there, and a way to run
// one script statement in it.
class IMapPage {
public:
    virtual ~IMapPage() = default;

    // True when the page has been loaded; otherwise tells the user so and answers false.
    virtual bool CheckMapLoaded() = 0;
    // Runs one statement in the page; a failure is reported to the user by the page's host.
    virtual void CallJavaScript(const QString& statement) = 0;
};
