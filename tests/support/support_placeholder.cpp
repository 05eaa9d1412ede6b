// placeholder: replaced by the test support
