// EditFormatDelegate: what the application's format commands (Bold, Italic, Underline, the two lists,
// Paragraph and the three headings) act on. The note editor registers itself in its window's
// EditFormatRegistry (handed to it in the study pane's environment) while its view exists; the main
// window enables the commands by the can-tests and sends them to the registered delegate.
// Main thread only.
#pragma once

class EditFormatDelegate {
public:
    virtual ~EditFormatDelegate() = default;

    virtual bool canBold() const = 0;
    virtual bool canItalic() const = 0;
    virtual bool canUnderline() const = 0;
    virtual bool canOrderedList() const = 0;
    virtual bool canUnorderedList() const = 0;
    virtual bool canParagraph() const = 0;
    virtual bool canHeading1() const = 0;
    virtual bool canHeading2() const = 0;
    virtual bool canHeading3() const = 0;

    virtual void applyBold() = 0;
    virtual void applyItalic() = 0;
    virtual void applyUnderline() = 0;
    virtual void applyOrderedList() = 0;
    virtual void applyUnorderedList() = 0;
    virtual void applyParagraph() = 0;
    virtual void applyHeading1() = 0;
    virtual void applyHeading2() = 0;
    virtual void applyHeading3() = 0;
};

// The one delegate a main window's format commands act on; owned by the window.
class EditFormatRegistry {
public:
    // The registered delegate; null when none.
    EditFormatDelegate* current() const { return m_current; }
    void setCurrent(EditFormatDelegate* delegate) { m_current = delegate; }
    // Unregisters the delegate when it is the registered one.
    void clear(const EditFormatDelegate* delegate)
    {
        if (m_current == delegate)
            m_current = nullptr;
    }

private:
    EditFormatDelegate* m_current = nullptr;
};
